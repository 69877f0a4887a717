// Loudness matching in the running program: files put in slots are measured in
// the background and given the gain that brings them to the built-in clips'
// loudness, within the peak ceiling; the measurements and the on/off choice are
// kept in section 响度, survive a restart, and a replaced file is measured again.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <cstring>
#include <memory>

#include "audio/dsp/loudness_meter.h"
#include "loudness/loudness_matching.h"
#include "loudness/loudness_record.h"
#include "settings/settings_file.h"
#include "support/app_fixture.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

using testing::AppFixture;

std::wstring Setting(const wchar_t* section, const std::wstring& key) {
  return ReadSetting(AppFixture::SettingsFile(), section, key);
}
std::wstring SlotKey(int slot) { return Setting(L"音效", L"按钮" + std::to_wstring(slot)); }

// A stereo 1 kHz tone at dbfs (its loudness in LUFS), 44.1 kHz 16-bit, two seconds
// unless told, with one sample raised to spike when given.
std::string ToneWave(double dbfs, double spike = 0.0, double seconds = 2.0) {
  const auto frames = static_cast<uint32_t>(seconds * 44100);
  std::string bytes = "RIFF----WAVEfmt ";
  auto put = [&](uint32_t value, int size) { bytes.append(reinterpret_cast<const char*>(&value), size); };
  put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
  bytes += "data";
  put(frames * 4, 4);
  const double amplitude = std::pow(10.0, dbfs / 20.0);
  for (uint32_t i = 0; i < frames; ++i) {
    double value = amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * i / 44100.0);
    if (i == frames / 2 && spike > 0) value = spike;
    const auto sample = static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 32767)));
    put(sample, 2), put(sample, 2);
  }
  const auto riffSize = static_cast<uint32_t>(bytes.size() - 8);
  std::memcpy(&bytes[4], &riffSize, 4);
  return bytes;
}

double Db(float gain) { return 20.0 * std::log10(gain); }

class LoudnessMatchingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(AppFixture::DataFolder().c_str(), nullptr);
    fixture = std::make_unique<AppFixture>();
  }
  std::wstring Make(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = files.Path() + name;
    EXPECT_TRUE(testing::WriteFileBytes(path, bytes));
    return path;
  }
  LoudnessMatching& Matching() { return fixture->app().Loudness(); }
  // Delivers the measurements as the event loop would, until none is left (at most 20 s).
  void WaitForMeasurements() {
    ASSERT_TRUE(fixture->WaitForMeasurements()) << "measurements still under way after 20 s";
  }
  float GainOf(int slot) { return fixture->gains.For(SlotKey(slot)); }
  void Restart() {
    fixture.reset();
    fixture = std::make_unique<AppFixture>(AppFixture::Settings::AsTheyAre);
  }

  testing::TempFolder files;
  std::unique_ptr<AppFixture> fixture;
};

TEST_F(LoudnessMatchingTest, FilesTwentyDecibelsApartAreBroughtToTheBuiltInLoudness) {
  const std::wstring loud = Make(L"loud.wav", ToneWave(-10)), quiet = Make(L"quiet.wav", ToneWave(-30));
  fixture->app().Slots().OnDrop({loud, quiet}, 0);
  EXPECT_EQ(GainOf(1), 1.0f) << "not measured yet: gain 1";
  WaitForMeasurements();

  ASSERT_TRUE(Matching().Measured(1) && Matching().Measured(1)->lufs);
  ASSERT_TRUE(Matching().Measured(2) && Matching().Measured(2)->lufs);
  EXPECT_NEAR(*Matching().Measured(1)->lufs, -10.0, 0.1);
  EXPECT_NEAR(*Matching().Measured(2)->lufs, -30.0, 0.1);
  EXPECT_NEAR(Db(GainOf(1)), kBuiltinLoudnessLufs + 10.0, 0.1);
  EXPECT_NEAR(Db(GainOf(2)), kBuiltinLoudnessLufs + 30.0, 0.1);

  const auto saved = ParseLoudnessRecord(Setting(L"响度", L"按钮2"));
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->size, testing::ReadFileBytes(quiet).size());
  EXPECT_EQ(Setting(L"响度", L"均衡"), L"") << "missing means on; nothing is written until it is changed";
}

TEST_F(LoudnessMatchingTest, GainStopsWhereThePeakWouldPassTheCeiling) {
  // A -20 LUFS tone with one sample at 0.9: 5.4 dB are wanted, the peak allows less than 0.
  const std::wstring spiky = Make(L"spiky.wav", ToneWave(-20, 0.9));
  fixture->app().Slots().OnDrop({spiky}, 0);
  WaitForMeasurements();
  ASSERT_TRUE(Matching().Measured(1));
  const float truePeak = Matching().Measured(1)->truePeak;
  EXPECT_GE(truePeak, 0.899f);  // the spike as 16 bits hold it
  EXPECT_NEAR(Db(GainOf(1) * truePeak), kTruePeakCeilingDbtp, 0.05);
}

// Slots filled before this start without a usable record (never measured, or a
// record that cannot be true) are measured right after start-up, without a press;
// a press that comes first measures its short file on the spot, so its first play
// already has the gain every later one gets. A clip under 400 ms is matched too.
TEST_F(LoudnessMatchingTest, UnmeasuredSlotsAreMeasuredAfterStartUpAndAFirstPressIsAlreadyMatched) {
  const std::wstring plain = Make(L"plain.wav", ToneWave(-30)), knock = Make(L"knock.wav", ToneWave(-30, 0.0, 0.2)),
                     forged = Make(L"forged.wav", ToneWave(-40));
  const std::wstring settings = AppFixture::SettingsFile();
  ASSERT_TRUE(WriteSettings(settings, {{L"音效", L"按钮1", plain}, {L"音效", L"按钮2", knock}, {L"音效", L"按钮3", forged}})
                  .AllWritten());
  // A -40 dBFS tone's record with its loudness raised to the target: +0 dB, and its peak would allow +39.
  LoudnessRecord lie = *FileIdentity(forged);
  lie.lufs = -14.6;
  lie.truePeak = 0.01f;
  ASSERT_TRUE(WriteSetting(settings, L"响度", L"按钮3", FormatLoudnessRecord(lie)));
  Restart();

  fixture->Click(L"按钮2");  // before anything was measured
  const float firstPlay = GainOf(2);
  EXPECT_NEAR(Db(firstPlay), kBuiltinLoudnessLufs + 30.0, 0.5) << "the first press of a 200 ms clip is matched";
  WaitForMeasurements();
  ASSERT_TRUE(Matching().Measured(1) && Matching().Measured(1)->lufs) << "measured without a press";
  EXPECT_NEAR(Db(GainOf(1)), kBuiltinLoudnessLufs + 30.0, 0.1);
  EXPECT_NEAR(Db(GainOf(2)), Db(firstPlay), 1.0) << "first and later plays within 1 LU";
  ASSERT_TRUE(Matching().Measured(3) && Matching().Measured(3)->lufs) << "the forged record was measured again";
  EXPECT_NEAR(*Matching().Measured(3)->lufs, -40.0, 0.1);
  EXPECT_NEAR(Db(GainOf(3)), audio::kMostMatchingGainDb, 0.01) << "25.4 dB wanted, 20 given";
}

// Exit never waits for a measurement: a two-hour file under way is abandoned at
// its next step. The file is sparse, so making it costs nothing.
TEST(LoudnessMatchingExit, AMeasurementUnderWayDoesNotHoldUpTheEnd) {
  testing::TempFolder folder;
  const std::wstring path = folder.Path() + L"two hours.wav";
  {
    constexpr uint64_t kDataBytes = 2ull * 3600 * 44100 * 4;
    std::string header = ToneWave(-20, 0.0, 0.0);
    const auto dataSize = static_cast<uint32_t>(kDataBytes), riffSize = static_cast<uint32_t>(kDataBytes + 36);
    std::memcpy(&header[4], &riffSize, 4);
    std::memcpy(&header[40], &dataSize, 4);
    ASSERT_TRUE(testing::WriteFileBytes(path, header));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(header.size() + kDataBytes);
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
  }
  audio::ClipGains gains;
  SettingsStore settings;
  settings.UseDataFolder(folder.Path());
  auto matching = std::make_unique<LoudnessMatching>(gains, settings);
  matching->SlotChanged(1, path);
  Sleep(300);
  ASSERT_TRUE(matching->Busy()) << "still measuring";
  const ULONGLONG before = GetTickCount64();
  matching.reset();
  EXPECT_LT(GetTickCount64() - before, 1000u);
}

TEST_F(LoudnessMatchingTest, OffTakesTheGainsBackAndIsKeptAcrossARestart) {
  fixture->app().Slots().OnDrop({Make(L"quiet.wav", ToneWave(-30))}, 0);
  WaitForMeasurements();
  Matching().SetEnabled(false);
  EXPECT_EQ(GainOf(1), 1.0f);
  EXPECT_EQ(Setting(L"响度", L"均衡"), L"0");

  Restart();
  EXPECT_FALSE(Matching().Enabled());
  EXPECT_EQ(GainOf(1), 1.0f);
  Matching().SetEnabled(true);
  EXPECT_FALSE(Matching().Busy()) << "the saved measurement is used, not made again";
  EXPECT_NEAR(Db(GainOf(1)), kBuiltinLoudnessLufs + 30.0, 0.1);
  EXPECT_EQ(Setting(L"响度", L"均衡"), L"1");
}

TEST_F(LoudnessMatchingTest, AReplacedFileIsMeasuredAgainAtItsNextPlay) {
  const std::wstring path = Make(L"changing.wav", ToneWave(-30));
  fixture->app().Slots().OnDrop({path}, 0);
  WaitForMeasurements();
  Restart();
  ASSERT_TRUE(Matching().Measured(1)) << "kept from the settings file";
  EXPECT_FALSE(Matching().Busy());

  // Another file under the same name: a different size.
  ASSERT_TRUE(testing::WriteFileBytes(path, ToneWave(-20) + std::string(1000, '\0')));
  fixture->Click(L"按钮1");
  WaitForMeasurements();
  ASSERT_TRUE(Matching().Measured(1) && Matching().Measured(1)->lufs);
  EXPECT_NEAR(*Matching().Measured(1)->lufs, -20.0, 0.1);
  EXPECT_NEAR(Db(GainOf(1)), kBuiltinLoudnessLufs + 20.0, 0.1);
}

TEST_F(LoudnessMatchingTest, AFileThatCannotBeDecodedKeepsGainOneAndAnEmptiedSlotLosesItsRecord) {
  fixture->app().Slots().OnDrop({Make(L"broken.mp3", std::string(64, '\x01')), Make(L"quiet.wav", ToneWave(-30))}, 0);
  WaitForMeasurements();
  EXPECT_FALSE(Matching().Measured(1));
  EXPECT_EQ(GainOf(1), 1.0f);

  const std::wstring quietPath = SlotKey(2);
  fixture->prompts.answers.push_back(IDYES);
  fixture->RightPress(L"按钮2");
  EXPECT_EQ(Setting(L"响度", L"按钮2"), L"");
  EXPECT_EQ(fixture->gains.For(quietPath), 1.0f);
}

}  // namespace
}  // namespace kivora
