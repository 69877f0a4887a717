// Variable- and average-bitrate MP3 files play whole: the system codec's output,
// trimmed as the LAME tag says, has exactly as many frames as lame's own gapless
// decode and ends on the same samples, with no step into silence at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/acm_mp3_decoder.h"
#include "audio/file_byte_source.h"
#include "recorded_sound.h"
#include "support/temp_folder.h"

namespace kivora::audio {
namespace {

TEST(AcmMp3Decoder, VariableBitrateFilesPlayToTheirLastSample) {
  struct Case {
    const wchar_t* file;
    const wchar_t* referenceTail;  // lame --decode's last 4096 frames
    size_t frames;                 // lame --decode's length
  };
  const Case cases[] = {
      {L"varied_v2.mp3", L"varied_v2_tail.raw", 132300},
      {L"varied_v5.mp3", L"varied_v5_tail.raw", 132300},
      {L"varied_abr96.mp3", L"varied_abr96_tail.raw", 96000},
  };
  AcmStreamPool pool;
  for (const Case& c : cases) {
    auto source = FileByteSource::Open(FixturePath(c.file));
    ASSERT_TRUE(source) << FixturePath(c.file);
    auto decoder = AcmMp3Decoder::Open(std::move(source), pool);
    ASSERT_TRUE(decoder) << c.file;
    std::vector<float> samples;
    while (decoder->DecodeMore(samples)) {}
    const size_t channels = decoder->Channels();
    ASSERT_EQ(channels, 2u) << c.file;
    EXPECT_EQ(samples.size() / channels, c.frames) << c.file;

    const std::vector<int16_t> tail = LeftChannelOf(testing::ReadFileBytes(FixturePath(c.referenceTail)));
    ASSERT_EQ(tail.size(), 4096u) << c.file;
    ASSERT_GE(samples.size() / channels, tail.size()) << c.file;
    const size_t from = samples.size() / channels - tail.size();
    int worst = 0;
    for (size_t i = 0; i < tail.size(); ++i) {
      const int ours = static_cast<int>(std::lround(samples[(from + i) * channels] * 32768.0f));
      worst = std::max(worst, std::abs(ours - tail[i]));
    }
    EXPECT_LE(worst, 2) << c.file << ": the last samples differ from the reference decode";
  }
}

}  // namespace
}  // namespace kivora::audio
