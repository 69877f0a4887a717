// Each WAVE coding the engine decodes beside PCM, from a file on disk through
// the clip decoder the engine and the loudness measurement use: μ-law and
// A-law by this program's own code, IMA ADPCM, MS ADPCM and GSM 6.10 by the
// system's codecs. Frames and samples against sox's own decode of the same
// file (tests/audio/fixtures/make_fixtures.sh); the ADPCM files end inside
// their last block, where the fact chunk cuts them.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "audio/decode/clip_decoder.h"
#include "audio/decode/file_byte_source.h"
#include "recorded_sound.h"
#include "support/temp_folder.h"

namespace kivora::audio {
namespace {

TEST(CodedWave, EachCodingDecodesAsSoxDoes) {
  const struct {
    const wchar_t* name;
    unsigned channels;
    size_t frames;  // the fact chunk's count
    bool exact;     // sample for sample; else within kLeastAgreementDb of it
  } cases[] = {
      {L"coded_u-law", 2, 1600, true},     {L"coded_a-law", 2, 1600, true}, {L"coded_ima-adpcm", 2, 1600, true},
      // The MS ADPCM codecs round their predictions differently from sox, and
      // the difference feeds back: Wine's stays 48 dB under the signal.
      {L"coded_ms-adpcm", 2, 1600, false}, {L"coded_gsm-full-rate", 1, 1600, true},
  };
  constexpr double kLeastAgreementDb = 40.0;
  AcmStreamPool codecs;
  for (const auto& c : cases) {
    const std::string name(c.name, c.name + std::wcslen(c.name));
    const std::string raw = testing::ReadFileBytes(FixturePath(std::wstring(c.name) + L".raw"));
    std::vector<int16_t> reference(raw.size() / 2);
    std::memcpy(reference.data(), raw.data(), reference.size() * 2);
    auto decoder = OpenClipDecoder(FileByteSource::Open(FixturePath(std::wstring(c.name) + L".wav")), codecs);
    ASSERT_TRUE(decoder) << name << ": no decoder";
    std::vector<float> samples;
    while (decoder->DecodeMore(samples)) {}
    EXPECT_EQ(decoder->Channels(), c.channels) << name;
    EXPECT_EQ(decoder->SampleRate(), 8000u) << name;
    EXPECT_EQ(samples.size(), c.frames * c.channels) << name;
    // sox decodes an ADPCM file's last block whole, past the fact chunk's count.
    ASSERT_GE(reference.size(), samples.size()) << name;
    int apart = 0;
    double signal = 0.0;
    double error = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
      const int difference = static_cast<int>(std::lround(samples[i] * 32768.0f)) - reference[i];
      apart = std::max(apart, std::abs(difference));
      signal += static_cast<double>(reference[i]) * reference[i];
      error += static_cast<double>(difference) * difference;
    }
    const double agreementDb = error > 0.0 ? 10.0 * std::log10(signal / error) : 999.0;
    if (c.exact) {
      EXPECT_EQ(apart, 0) << name << ": " << agreementDb << " dB";
    } else {
      EXPECT_GE(agreementDb, kLeastAgreementDb) << name << ": at most " << apart << " steps apart";
    }
    std::printf("%s: %zu frames, at most %d steps from sox's decode, error %.1f dB under the signal\n", name.c_str(),
                samples.size() / c.channels, apart, agreementDb);
  }
}

}  // namespace
}  // namespace kivora::audio
