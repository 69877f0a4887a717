// Files that crashed or froze the program through the system's media player: the
// engine refuses them, knows them for damaged, and keeps them from that player;
// so it does with text, which that player is slow to refuse. A file it does not
// recognise at all still goes there, as before.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "audio/engine/engine_backend.h"
#include "audio/device/output_device.h"
#include "audio/engine/sound_engine.h"
#include "audio/device/wasapi_output.h"
#include "recorded_sound.h"
#include "support/recording_audio_backend.h"
#include "support/temp_folder.h"

namespace kivora::audio {
namespace {

std::string Le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Le16(uint16_t v) { return {char(v), char(v >> 8)}; }

// A WAVE file whose fmt chunk declares fmtSize bytes and the given fields.
std::string Wave(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t fmtSize = 16) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return "RIFF" + Le32(36 + 64) + "WAVE" + "fmt " + Le32(fmtSize) + Le16(1) + Le16(channels) + Le32(rate) +
         Le32(rate * align) + Le16(align) + Le16(bits) + "data" + Le32(64) + std::string(64, '\0');
}

// A broadcast recorder's file: its samples start behind 5 KB of bext, iXML and JUNK chunks.
std::string BroadcastWave() {
  const auto chunk = [](const char* id, const std::string& body) {
    return std::string(id, 4) + Le32(static_cast<uint32_t>(body.size())) + body + std::string(body.size() % 2, '\0');
  };
  std::string tone;
  for (int i = 0; i < 4800; ++i) tone += Le16(static_cast<uint16_t>(i % 100 < 50 ? 12000 : -12000));
  const std::string format = Le16(1) + Le16(1) + Le32(48000) + Le32(96000) + Le16(2) + Le16(16);
  const std::string body = "WAVE" + chunk("bext", std::string(601, 'b')) + chunk("iXML", std::string(3500, ' ')) +
                           chunk("JUNK", std::string(1024, '\0')) + chunk("fmt ", format) + chunk("data", tone);
  return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

// sox's IMA ADPCM file with 506 frames declared for blocks that hold 505.
std::string ImaFramesPerBlockOff() {
  std::string bytes = testing::ReadFileBytes(FixturePath(L"coded_ima-adpcm.wav"));
  const size_t field = bytes.find("fmt ") + 8 + 18;
  bytes[field] = static_cast<char>(0xFA);
  return bytes;
}

TEST(HostileFiles, DamagedFilesNeverReachTheFallbackAndTheRestStillDo) {
  std::string syncWords;
  for (int i = 0; i < 5000; ++i) syncWords += "\xFF\xFB";
  enum class Goes { Nowhere, Fallback, Engine };
  struct Case {
    const char* what;
    const wchar_t* name;
    std::string bytes;
    Goes goes;
  };
  const Case cases[] = {
      {"zero channels", L"zero_channels.wav", Wave(0, 44100, 16), Goes::Nowhere},
      {"fmt size 0xFFFFFFF0", L"huge_fmt.wav", Wave(2, 44100, 16, 0xFFFFFFF0u), Goes::Nowhere},
      {"zero sample rate", L"zero_rate.wav", Wave(2, 0, 16), Goes::Nowhere},
      {"64-bit samples", L"wide.wav", Wave(2, 44100, 64), Goes::Nowhere},
      {"sync words and no frame", L"sync_words.mp3", syncWords, Goes::Nowhere},
      {"text named .mp3", L"text.mp3", "only some text, no sound", Goes::Nowhere},
      {"an MP4 box named .mp3", L"box.mp3", std::string("\0\0\0\x20" "ftypM4A ", 12), Goes::Fallback},
      {"a broadcast WAVE, samples past 4 KB", L"broadcast.wav", BroadcastWave(), Goes::Engine},
      {"mu-law WAVE", L"mulaw.wav", testing::ReadFileBytes(FixturePath(L"coded_u-law.wav")), Goes::Engine},
      {"IMA ADPCM WAVE, through the system's codec", L"ima.wav", testing::ReadFileBytes(FixturePath(L"coded_ima-adpcm.wav")),
       Goes::Engine},
      {"IMA ADPCM whose frames per block disagree with its blocks", L"ima_off.wav", ImaFramesPerBlockOff(),
       Goes::Nowhere},
  };
  testing::TempFolder folder;
  SoundEngine engine(std::make_shared<WasapiOutputDevice>());
  testing::RecordingAudioBackend fallback;
  EngineBackend backend(engine, fallback);
  for (const Case& c : cases) {
    const std::wstring path = folder.Path() + c.name;
    ASSERT_TRUE(testing::WriteFileBytes(path, c.bytes)) << c.what;
    fallback.calls.clear();
    const DeviceResult result = backend.Open(L"mpegvideo", path, L"clip");
    EXPECT_EQ(!fallback.calls.empty(), c.goes == Goes::Fallback) << c.what;
    EXPECT_EQ(backend.EngineHasSound(), c.goes == Goes::Engine) << c.what;
    if (c.goes == Goes::Nowhere) {
      EXPECT_NE(result, 0u) << c.what << ": a damaged file opens as nothing";
    }
  }
  // A format the engine leaves to the fallback (MPEG audio in WAVE) is not mistaken for a damaged file.
  fallback.calls.clear();
  EXPECT_EQ(backend.Open(L"waveaudio", FixturePath(L"low_tone_mpeg.wav"), L"clip"), 0u);
  EXPECT_FALSE(fallback.calls.empty());
}

// A device that never gives a stream: none plugged in, or one that refuses every format.
class NoDevice final : public OutputDevice {
 public:
  std::unique_ptr<OutputStream> Open() override { return nullptr; }
};

// What the engine cannot play is played by the fallback rather than lost: a good
// clip while no stream opens, and a well-formed file that holds no sound.
TEST(HostileFiles, WhatTheEngineCannotPlayGoesToTheFallback) {
  testing::TempFolder folder;
  const std::wstring empty = folder.Path() + L"no_samples.wav";
  ASSERT_TRUE(testing::WriteFileBytes(empty, Wave(2, 44100, 16).substr(0, 44)));  // the data chunk declares 64 bytes, none follow

  SoundEngine engine(std::make_shared<WasapiOutputDevice>());
  testing::RecordingAudioBackend fallback;
  EngineBackend backend(engine, fallback);
  EXPECT_EQ(backend.Open(L"waveaudio", empty, L"clip"), 0u);
  EXPECT_FALSE(backend.EngineHasSound());
  EXPECT_FALSE(fallback.calls.empty()) << "a file with no sound in it went nowhere";

  SoundEngine deviceless(std::make_shared<NoDevice>());
  testing::RecordingAudioBackend fallbackToo;
  EngineBackend noStream(deviceless, fallbackToo);
  EXPECT_EQ(noStream.Open(L"mpegvideo", FixturePath(L"low_tone.mp3"), L"clip"), 0u);
  EXPECT_FALSE(noStream.EngineHasSound());
  EXPECT_FALSE(fallbackToo.calls.empty()) << "with no stream the sound went nowhere";
}

}  // namespace
}  // namespace kivora::audio
