// The sound engine's parts without a device: MP3 and WAVE headers read from
// bytes, the Player's command strings read back, a voice's fades and pauses,
// and the system MP3 codec's output against a reference decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "assets/catalogue.h"
#include "audio/decode/acm_mp3_decoder.h"
#include "audio/engine/device_command.h"
#include "audio/decode/lame_header.h"
#include "audio/decode/mp3_frame.h"
#include "audio/dsp/resampler.h"
#include "audio/engine/voice.h"
#include "audio/engine/voice_mixer.h"
#include "audio/decode/wav_decoder.h"
#include "audio/decode/wav_header.h"
#include "recorded_sound.h"
#include "support/temp_folder.h"

namespace kivora::audio {
namespace {

using Bytes = std::vector<uint8_t>;

void PutBig32(Bytes& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}
void AppendLittle(Bytes& bytes, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void AppendText(Bytes& bytes, const char* text) { bytes.insert(bytes.end(), text, text + std::char_traits<char>::length(text)); }

TEST(Mp3FrameHeader, ReadsVersionLayerRateChannelsAndLengthOrRefuses) {
  struct Case {
    const char* name;
    Bytes header;
    bool valid;
    int version, layer;
    unsigned rate, channels, samples;
    size_t frameBytes, sideInfo;
  };
  const Case cases[] = {
      {"MPEG-1 L3 128k 44.1k joint stereo", {0xFF, 0xFB, 0x90, 0x64}, true, 1, 3, 44100, 2, 1152, 417, 32},
      {"same, padded", {0xFF, 0xFB, 0x92, 0x64}, true, 1, 3, 44100, 2, 1152, 418, 32},
      {"same, with CRC", {0xFF, 0xFA, 0x90, 0x64}, true, 1, 3, 44100, 2, 1152, 417, 34},
      {"MPEG-1 L3 48k 48k mono", {0xFF, 0xFB, 0x34, 0xC4}, true, 1, 3, 48000, 1, 1152, 144, 17},
      {"MPEG-2 L3 64k 24k mono", {0xFF, 0xF3, 0x84, 0xC0}, true, 2, 3, 24000, 1, 576, 192, 9},
      {"MPEG-2.5 L3 8k 8k mono", {0xFF, 0xE3, 0x18, 0xC0}, true, 25, 3, 8000, 1, 576, 72, 9},
      {"MPEG-1 L2 192k 48k", {0xFF, 0xFD, 0xA4, 0x00}, true, 1, 2, 48000, 2, 1152, 576, 0},
      {"AAC ADTS (layer bits 00)", {0xFF, 0xF1, 0x50, 0x80}, false, 0, 0, 0, 0, 0, 0, 0},
      {"reserved version", {0xFF, 0xEB, 0x90, 0x64}, false, 0, 0, 0, 0, 0, 0, 0},
      {"bitrate index 15", {0xFF, 0xFB, 0xF0, 0x64}, false, 0, 0, 0, 0, 0, 0, 0},
      {"free format", {0xFF, 0xFB, 0x00, 0x64}, false, 0, 0, 0, 0, 0, 0, 0},
      {"rate index 3", {0xFF, 0xFB, 0x9C, 0x64}, false, 0, 0, 0, 0, 0, 0, 0},
      {"no sync", {0xFF, 0x7B, 0x90, 0x64}, false, 0, 0, 0, 0, 0, 0, 0},
      {"cut short", {0xFF, 0xFB, 0x90}, false, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const auto header = ParseMp3FrameHeader(c.header);
    ASSERT_EQ(header.has_value(), c.valid) << c.name;
    if (!header) continue;
    EXPECT_EQ(header->mpegVersion, c.version) << c.name;
    EXPECT_EQ(header->layer, c.layer) << c.name;
    EXPECT_EQ(header->sampleRate, c.rate) << c.name;
    EXPECT_EQ(header->channels, c.channels) << c.name;
    EXPECT_EQ(header->samplesPerFrame, c.samples) << c.name;
    EXPECT_EQ(header->frameBytes, c.frameBytes) << c.name;
    EXPECT_EQ(header->sideInfoBytes, c.sideInfo) << c.name;
  }
}

TEST(Id3v2Tag, LengthCoversHeaderBodyAndFooter) {
  const struct {
    const char* name;
    Bytes head;
    uint64_t length;
  } cases[] = {
      {"257-byte body", {'I', 'D', '3', 4, 0, 0x00, 0, 0, 2, 1}, 267},
      {"with footer", {'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 1}, 277},
      {"size byte with the high bit set", {'I', 'D', '3', 4, 0, 0, 0, 0, 0x82, 1}, 0},
      {"header cut short", {'I', 'D', '3', 4, 0, 0, 0, 0, 2}, 0},
      {"no tag", {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 0, 0}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Id3v2TagLength(c.head), c.length) << c.name;
}

// Frames of the built-in clips' kind: MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, 417 bytes.
Bytes Frames(int count) {
  Bytes bytes;
  for (int i = 0; i < count; ++i) {
    const Bytes frame = {0xFF, 0xFB, 0x90, 0x64};
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    bytes.resize(bytes.size() + 413, 0x55);
  }
  return bytes;
}

TEST(Layer3Audio, StartsAtAFrameThatTheNextFramesConfirm) {
  Bytes junkThenFrames = {'j', 'u', 'n', 'k', 0xFF, 0xFB, 0x90};  // a false sync inside the junk
  const Bytes frames = Frames(4);
  junkThenFrames.insert(junkThenFrames.end(), frames.begin(), frames.end());
  EXPECT_EQ(FindLayer3Audio(junkThenFrames, 0, 4096), std::optional<size_t>(7));

  Bytes text(2000, 'x');
  text[100] = 0xFF, text[101] = 0xFB, text[102] = 0x90, text[103] = 0x64;  // one header, nothing after it
  EXPECT_EQ(FindLayer3Audio(text, 0, 4096), std::nullopt);

  EXPECT_EQ(FindLayer3Audio(Frames(1), 0, 4096), std::optional<size_t>(0)) << "a file of one whole frame";
  Bytes cut = Frames(1);
  cut.resize(300);
  EXPECT_EQ(FindLayer3Audio(cut, 0, 4096), std::nullopt) << "a frame that runs past the end";
  EXPECT_EQ(FindLayer3Audio(junkThenFrames, 0, 5), std::nullopt) << "beyond the search limit";
}

// An info frame: the tag where the audio data would start (after 32 bytes of
// side information), its fields in the order the flags name them, then the LAME tag.
Bytes InfoFrame(const char* id, uint32_t flags, uint32_t frames, const char* encoder, unsigned delay, unsigned padding) {
  Bytes frame = Frames(1);
  std::fill(frame.begin() + 4, frame.end(), 0);
  size_t at = 36;
  for (int i = 0; i < 4; ++i) frame[at + i] = static_cast<uint8_t>(id[i]);
  PutBig32(frame, at + 4, flags);
  at += 8;
  if (flags & 1) PutBig32(frame, at, frames), at += 4;
  if (flags & 2) at += 4;
  if (flags & 4) at += 100;
  if (flags & 8) at += 4;
  if (encoder) {
    for (size_t i = 0; encoder[i]; ++i) frame[at + i] = static_cast<uint8_t>(encoder[i]);
    frame[at + 21] = static_cast<uint8_t>(delay >> 4);
    frame[at + 22] = static_cast<uint8_t>(((delay & 0xF) << 4) | (padding >> 8));
    frame[at + 23] = static_cast<uint8_t>(padding & 0xFF);
  }
  return frame;
}

TEST(XingFrame, GivesFramesDelayAndPaddingAndTheTrimFollows) {
  const Mp3FrameHeader header = *ParseMp3FrameHeader(Frames(1));
  const struct {
    const char* name;
    Bytes frame;
    bool isInfo;
    std::optional<uint32_t> frames;
    bool lame;
    unsigned delay, padding;
    uint64_t skip;
    std::optional<uint64_t> playable;
  } cases[] = {
      {"Info, every field, LAME", InfoFrame("Info", 0xF, 186, "LAME3.100", 576, 1634), true, 186, true, 576, 1634,
       576 + 529, 186 * 1152 - 576 - 1634},
      {"Xing, frames only, LAME", InfoFrame("Xing", 0x1, 100, "LAME3.99r", 576, 1000), true, 100, true, 576, 1000,
       1105, 100 * 1152 - 1576},
      {"Info, no frame count", InfoFrame("Info", 0x0, 0, "LAME3.100", 1105, 12), true, std::nullopt, true, 1105, 12,
       1105 + 529, std::nullopt},
      {"Xing without an encoder tag", InfoFrame("Xing", 0x1, 50, nullptr, 0, 0), true, 50, false, 0, 0, 0, std::nullopt},
      {"delay and padding longer than the frames", InfoFrame("Info", 0x1, 3, "LAME3.100", 4095, 4095), true, 3, true,
       4095, 4095, 4095 + 529, 0},
      {"an ordinary audio frame", Frames(1), false, std::nullopt, false, 0, 0, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto info = ParseXingFrame(c.frame, header);
    ASSERT_EQ(info.has_value(), c.isInfo) << c.name;
    const GaplessTrim trim = TrimFor(info, header.samplesPerFrame);
    if (!info) {
      EXPECT_EQ(trim.leadingSkip, 0u) << c.name;
      continue;
    }
    EXPECT_EQ(info->audioFrames, c.frames) << c.name;
    EXPECT_EQ(info->hasLameTag, c.lame) << c.name;
    EXPECT_EQ(info->encoderDelay, c.delay) << c.name;
    EXPECT_EQ(info->encoderPadding, c.padding) << c.name;
    EXPECT_EQ(trim.leadingSkip, c.skip) << c.name;
    EXPECT_EQ(trim.playable, c.playable) << c.name;
  }
  // A tag cut off by the end of the bytes is no tag, and nothing is read past the end.
  Bytes cut = InfoFrame("Info", 0xF, 186, "LAME3.100", 576, 1634);
  cut.resize(40);
  EXPECT_FALSE(ParseXingFrame(cut, header).has_value());
}

Bytes Wav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& extraChunk, uint32_t dataBytes) {
  Bytes wav;
  AppendText(wav, "RIFF");
  AppendLittle(wav, 0, 4);
  AppendText(wav, "WAVE");
  wav.insert(wav.end(), extraChunk.begin(), extraChunk.end());
  AppendText(wav, "fmt ");
  AppendLittle(wav, 16, 4);
  AppendLittle(wav, tag, 2);
  AppendLittle(wav, channels, 2);
  AppendLittle(wav, rate, 4);
  AppendLittle(wav, rate * channels * bits / 8, 4);
  AppendLittle(wav, channels * bits / 8, 2);
  AppendLittle(wav, bits, 2);
  AppendText(wav, "data");
  AppendLittle(wav, dataBytes, 4);
  return wav;
}

TEST(WavHeader, AcceptsTheSampleFormatsItDecodesAndRefusesTheRest) {
  const Bytes oddList = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};  // padded to even
  const struct {
    const char* name;
    Bytes head;
    bool valid;
    uint64_t dataOffset;
  } cases[] = {
      {"16-bit stereo", Wav(1, 2, 44100, 16, {}, 400), true, 44},
      {"8-bit mono", Wav(1, 1, 8000, 8, {}, 400), true, 44},
      {"32-bit float", Wav(3, 2, 48000, 32, {}, 400), true, 44},
      {"odd-sized chunk before fmt", Wav(1, 2, 44100, 16, oddList, 400), true, 56},
      {"mu-law", Wav(7, 1, 8000, 8, {}, 400), true, 44},
      {"IMA ADPCM with blocks of no bytes", Wav(0x11, 1, 8000, 4, {}, 400), false, 0},
      {"three channels", Wav(1, 3, 44100, 16, {}, 400), true, 44},
      {"nine channels", Wav(1, 9, 44100, 16, {}, 400), false, 0},
      {"12-bit", Wav(1, 1, 44100, 12, {}, 400), false, 0},
      {"not RIFF", Bytes(64, 'x'), false, 0},
  };
  for (const auto& c : cases) {
    const auto layout = ParseWavHeader(c.head);
    ASSERT_EQ(layout.has_value(), c.valid) << c.name;
    if (layout) {
      EXPECT_EQ(layout->dataOffset, c.dataOffset) << c.name;
    }
  }
  // A chunk whose declared size runs past the bytes, and data before fmt.
  Bytes huge = Wav(1, 2, 44100, 16, {'J', 'U', 'N', 'K', 0xF0, 0xFF, 0xFF, 0xFF}, 400);
  EXPECT_FALSE(ParseWavHeader(huge).has_value());
  Bytes dataFirst = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
  EXPECT_FALSE(ParseWavHeader(dataFirst).has_value());
}

TEST(WavDecoder, EndsAtTheLastWholeFrameOfATruncatedFile) {
  Bytes wav = Wav(1, 2, 48000, 16, {}, 4000);  // declares 1000 frames
  for (int i = 0; i < 10; ++i) AppendLittle(wav, static_cast<uint32_t>(i * 1000), 2);  // five frames
  wav.push_back(0x7F);                                                                // and a stray byte
  auto decoder = WavDecoder::Open(std::make_unique<MemoryByteSource>(wav));
  ASSERT_TRUE(decoder);
  std::vector<float> samples;
  while (decoder->DecodeMore(samples)) {}
  ASSERT_EQ(samples.size(), 10u);
  EXPECT_FLOAT_EQ(samples[9], 9000 / 32768.0f);
}

TEST(DeviceCommand, ReadsWhatThePlayerSends) {
  const struct {
    const wchar_t* text;
    bool valid;
    DeviceVerb verb;
    VolumeChannel channel;
    long volume;
  } cases[] = {
      {L"play {AB12}", true, DeviceVerb::Play, VolumeChannel::Both, 0},
      {L"pause snd", true, DeviceVerb::Pause, VolumeChannel::Both, 0},
      {L"RESUME snd", true, DeviceVerb::Resume, VolumeChannel::Both, 0},
      {L"close snd", true, DeviceVerb::Close, VolumeChannel::Both, 0},
      {L"setaudio snd left volume to 370", true, DeviceVerb::SetVolume, VolumeChannel::Left, 370},
      {L"setaudio snd right volume to 1000", true, DeviceVerb::SetVolume, VolumeChannel::Right, 1000},
      {L"setaudio snd volume to 0", true, DeviceVerb::SetVolume, VolumeChannel::Both, 0},
      {L"setaudio snd left volume to 1001", false, DeviceVerb::Play, VolumeChannel::Both, 0},
      {L"setaudio snd left volume to -5", false, DeviceVerb::Play, VolumeChannel::Both, 0},
      {L"setaudio snd left volume to", false, DeviceVerb::Play, VolumeChannel::Both, 0},
      {L"seek snd to start", false, DeviceVerb::Play, VolumeChannel::Both, 0},
      {L"play", false, DeviceVerb::Play, VolumeChannel::Both, 0},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseDeviceCommand(c.text);
    ASSERT_EQ(parsed.has_value(), c.valid) << std::wstring(c.text).size();
    if (!parsed) continue;
    EXPECT_EQ(parsed->verb, c.verb);
    EXPECT_EQ(parsed->channel, c.channel);
    EXPECT_EQ(parsed->volume, c.volume);
  }
  EXPECT_EQ(ParseDeviceCommand(L"play {AB12}")->alias, L"{AB12}");
}

// A clip of counted samples at the output rate, so each output frame tells
// which clip frame it came from (with the gains applied).
class CountingDecoder final : public PcmDecoder {
 public:
  explicit CountingDecoder(size_t frames) : frames_(frames) {}
  unsigned SampleRate() const override { return 48000; }
  unsigned Channels() const override { return 1; }
  bool DecodeMore(std::vector<float>& samples) override {
    if (next_ >= frames_) return false;
    for (size_t end = std::min(frames_, next_ + 300); next_ < end; ++next_) samples.push_back(0.5f);
    return true;
  }

 private:
  size_t frames_;
  size_t next_ = 0;
};

// A voice with its feed, which the test fills before each render as the engine's
// feeder would, played through an output's mixer at the output's rate.
struct FedVoice {
  FedVoice(std::unique_ptr<PcmDecoder> decoder, unsigned outputRate)
      : feed(std::make_shared<VoiceFeed>(std::move(decoder))) {
    feed->Fill();
    voice = Voice::Create(feed);
    mixer.SetOutputRate(outputRate);
  }
  std::vector<float> Render(size_t frames, bool fill = true) {
    if (fill) feed->Fill();
    std::vector<float> mix(frames * 2, 0.0f);
    const std::shared_ptr<Voice> voices[] = {voice};
    mixer.Mix(voices, mix.data(), frames);
    return mix;
  }
  // Renders until the voice ends; the clip frames it gave.
  size_t RenderToEnd() {
    size_t before = voice->FramesPlayed();
    for (int i = 0; i < 100000 && !voice->Ended(); ++i) Render(480);
    return voice->FramesPlayed() - before;
  }
  std::shared_ptr<VoiceFeed> feed;
  std::shared_ptr<Voice> voice;
  VoiceMixer mixer;
};

TEST(Voice, PauseAndStopFadeAndResumeGoesOnFromTheSameFrame) {
  constexpr size_t kClip = 48000;
  const size_t ramp = static_cast<size_t>(Voice::kRampSeconds * 48000);
  FedVoice paused(std::make_unique<CountingDecoder>(kClip), 48000);
  Voice& voice = *paused.voice;
  paused.Render(1000);
  voice.SetPaused(true);
  const std::vector<float> pausing = paused.Render(2000);
  // Down to silence within the ramp, in steps no larger than the ramp's.
  for (size_t i = 1; i < 2000; ++i) EXPECT_LE(std::abs(pausing[2 * i] - pausing[2 * i - 2]), 0.5f / ramp + 1e-6f);
  EXPECT_EQ(pausing[2 * (ramp + 1)], 0.0f);
  const uint64_t heldAt = voice.FramesPlayed();
  // The fade takes exactly the ramp's frames and each of them is heard: none is
  // taken from the clip at silence and lost.
  EXPECT_EQ(heldAt, 1000 + ramp);
  EXPECT_GT(pausing[2 * (ramp - 1)], 0.0f);
  paused.Render(5000);
  EXPECT_EQ(voice.FramesPlayed(), heldAt) << "a paused voice moved on";

  voice.SetPaused(false);
  paused.RenderToEnd();
  // Every clip frame plays once: none lost in the pause, none played twice.
  EXPECT_EQ(voice.FramesPlayed(), kClip);

  FedVoice stopped(std::make_unique<CountingDecoder>(kClip), 48000);
  stopped.Render(1000);
  stopped.voice->Stop();
  const std::vector<float> stopping = stopped.Render(1000);
  EXPECT_EQ(stopping[2 * (ramp + 1)], 0.0f);
  EXPECT_TRUE(stopped.voice->Ended());
  EXPECT_TRUE(stopped.feed->Abandoned()) << "an ended voice kept its decoder wanted";
}

TEST(Voice, VolumeGlidesWithoutSteps) {
  FedVoice fed(std::make_unique<CountingDecoder>(48000), 48000);
  Voice& voice = *fed.voice;
  voice.SetGain(0.37f, 0.37f);
  const std::vector<float> first = fed.Render(10);
  EXPECT_FLOAT_EQ(first[0], 0.5f * 0.37f) << "the volume set before the first frame applies at once";
  voice.SetGain(1.0f, 0.0f);
  const std::vector<float> glide = fed.Render(1000);
  for (size_t i = 1; i < 1000; ++i) {
    EXPECT_LE(std::abs(glide[2 * i] - glide[2 * i - 2]), 0.5f / (Voice::kRampSeconds * 48000) + 1e-6f);
  }
  EXPECT_FLOAT_EQ(glide[2 * 999], 0.5f);
  EXPECT_FLOAT_EQ(glide[2 * 999 + 1], 0.0f);
}

// A clip in parts of different formats, as two MP3 files joined make: a steady
// level in each, 0.25 then -0.5.
class FormatChangingDecoder final : public PcmDecoder {
 public:
  struct Part {
    unsigned rate, channels;
    size_t frames;
    float level;
  };
  explicit FormatChangingDecoder(std::vector<Part> parts) : parts_(std::move(parts)) {}
  unsigned SampleRate() const override { return parts_[std::min(at_, parts_.size() - 1)].rate; }
  unsigned Channels() const override { return parts_[std::min(at_, parts_.size() - 1)].channels; }
  bool DecodeMore(std::vector<float>& samples) override {
    if (at_ < parts_.size() && done_ == parts_[at_].frames) ++at_, done_ = 0;
    if (at_ >= parts_.size()) return false;
    const Part& part = parts_[at_];
    const size_t frames = std::min<size_t>(1152, part.frames - done_);
    samples.insert(samples.end(), frames * part.channels, part.level);
    done_ += frames;
    return true;
  }

 private:
  std::vector<Part> parts_;
  size_t at_ = 0, done_ = 0;
};

// Each part of a clip plays for its own length at the stream's rate, whatever
// the rate the stream has, and the stream's rate may change while it plays (a
// stream opened afresh on another device).
TEST(Voice, EveryPartPlaysForItsLengthAtTheRateOfTheStream) {
  constexpr size_t kFirstFrames = 12000;  // output frames at the first rate, when it changes
  struct Case {
    const char* name;
    std::vector<FormatChangingDecoder::Part> parts;
    unsigned firstRate, playedAt;
  };
  const Case cases[] = {
      {"44.1 kHz on 48 kHz", {{44100, 2, 44100, 0.25f}}, 48000, 48000},
      {"48 kHz on 44.1 kHz", {{48000, 2, 48000, 0.25f}}, 44100, 44100},
      {"48 kHz on 48 kHz, then on 44.1 kHz", {{48000, 2, 48000, 0.25f}}, 48000, 44100},
      {"48 kHz on 44.1 kHz, then on 48 kHz", {{48000, 2, 48000, 0.25f}}, 44100, 48000},
      {"mono 48 kHz on 192 kHz", {{48000, 1, 48000, 0.25f}}, 192000, 192000},
      {"stereo 44.1 kHz, then mono 22.05 kHz", {{44100, 2, 44100, 0.25f}, {22050, 1, 22050, -0.5f}}, 48000, 48000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FedVoice fed(std::make_unique<FormatChangingDecoder>(c.parts), c.firstRate);
    std::vector<float> heard;
    while (!fed.voice->Ended() && heard.size() < 40u * c.playedAt) {
      if (heard.size() == 2 * kFirstFrames) fed.mixer.SetOutputRate(c.playedAt);
      const std::vector<float> mix = fed.Render(480);
      heard.insert(heard.end(), mix.begin(), mix.end());
    }
    // Frames at each part's level: the length of the part at the stream's rate,
    // less the converter's rounding and the few frames where one level meets the next.
    for (const auto& part : c.parts) {
      const double seconds = double(part.frames) / part.rate;
      const double expected = c.firstRate == c.playedAt
                                  ? seconds * c.playedAt
                                  : kFirstFrames + (seconds - double(kFirstFrames) / c.firstRate) * c.playedAt;
      size_t atLevel = 0;
      for (size_t i = 0; i + 1 < heard.size(); i += 2) {
        if (std::abs(heard[i] - part.level) < 0.01f && std::abs(heard[i + 1] - part.level) < 0.01f) ++atLevel;
      }
      EXPECT_NEAR(double(atLevel), expected, 0.002 * expected + 64) << "level " << part.level;
    }
    EXPECT_TRUE(fed.voice->Ended());
  }
}

// A clip of a slow sine at its own rate: a frame lost or shifted shows as a
// difference far larger than a converter's rounding.
class SineDecoder final : public PcmDecoder {
 public:
  SineDecoder(unsigned rate, size_t frames, float level) : rate_(rate), frames_(frames), level_(level) {}
  unsigned SampleRate() const override { return rate_; }
  unsigned Channels() const override { return 2; }
  bool DecodeMore(std::vector<float>& samples) override {
    if (next_ >= frames_) return false;
    for (size_t end = std::min(frames_, next_ + 700); next_ < end; ++next_) {
      const float sample = level_ * static_cast<float>(std::sin(2 * 3.14159265358979 * 100 * double(next_) / rate_));
      samples.insert(samples.end(), {sample, -sample});
    }
    return true;
  }

 private:
  unsigned rate_;
  size_t frames_;
  float level_;
  size_t next_ = 0;
};

// Voices of a rate other than the output's are added at their rate and
// converted once. One voice alone plays exactly what a converter of its own
// gives; a second that joins while the first plays adds what it would give
// alone, from the frame it would start at alone.
TEST(VoiceMixer, VoicesOfOneRateShareAConverterAndEachSoundsAsAlone) {
  constexpr unsigned kClipRate = 44100, kOutputRate = 48000;
  constexpr size_t kRender = 480, kRenders = 80, kJoinAt = 23;
  // Renders kRenders of the first voice (when given) and the second from render joinAt on.
  const auto play = [&](float first, float second, size_t joinAt) {
    VoiceMixer mixer;
    mixer.SetOutputRate(kOutputRate);
    std::vector<std::shared_ptr<VoiceFeed>> feeds;
    std::vector<std::shared_ptr<Voice>> voices;
    const auto start = [&](float level) {
      feeds.push_back(std::make_shared<VoiceFeed>(std::make_unique<SineDecoder>(kClipRate, kClipRate, level)));
      feeds.back()->Fill();
      voices.push_back(Voice::Create(feeds.back()));
    };
    if (first != 0) start(first);
    std::vector<float> out;
    for (size_t render = 0; render < kRenders; ++render) {
      if (second != 0 && render == joinAt) start(second);
      for (auto& feed : feeds) feed->Fill();
      std::vector<float> mix(kRender * 2, 0.0f);
      mixer.Mix(voices, mix.data(), kRender);
      out.insert(out.end(), mix.begin(), mix.end());
    }
    return out;
  };
  const std::vector<float> first = play(0.3f, 0, 0), second = play(0, 0.2f, 0), both = play(0.3f, 0.2f, kJoinAt);

  // Alone, bit for bit what a converter of the voice's own makes of its frames.
  SineDecoder reference(kClipRate, kClipRate, 0.3f);
  std::vector<float> clip, converted(first.size());
  while (reference.DecodeMore(clip)) {}
  auto converter = Resampler::Create(kClipRate, kOutputRate, 2);
  converter->Push(clip);
  ASSERT_EQ(converter->Pull(converted.data(), first.size() / 2), first.size() / 2);
  EXPECT_EQ(first, converted);

  // Together: the first as alone, and the second as alone from where it joined,
  // within what a fraction of a clip frame's shift makes of a 100 Hz sine.
  const size_t joined = kJoinAt * kRender * 2;
  float worst = 0;
  for (size_t i = 0; i < both.size(); ++i) {
    const float expected = first[i] + (i >= joined ? second[i - joined] : 0.0f);
    worst = std::max(worst, std::abs(both[i] - expected));
  }
  EXPECT_LT(worst, 0.2f * 2 * 3.1416f * 100 / kClipRate * 1.1f);
}

// The feed falls behind (a disk that stalls): the voice is silent meanwhile,
// and goes on when the feed catches up, with no frame lost.
TEST(Voice, AFeedThatFallsBehindDelaysTheSoundAndLosesNothing) {
  constexpr size_t kClip = 96000;
  FedVoice fed(std::make_unique<CountingDecoder>(kClip), 48000);
  size_t played = 0;
  while (played + 480 <= VoiceFeed::kAheadSeconds * 48000 / 2) {
    fed.Render(480, false);
    played += 480;
  }
  EXPECT_EQ(fed.voice->Starvations(), 0u);
  // The ring is used up with nothing decoded behind it.
  for (int i = 0; i < 100; ++i) fed.Render(480, false);
  EXPECT_GT(fed.voice->Starvations(), 0u);
  EXPECT_FALSE(fed.voice->Ended()) << "a starved voice was taken for one at its end";
  fed.RenderToEnd();
  EXPECT_EQ(fed.voice->FramesPlayed(), kClip);
}

// The system codec, with the LAME tag's delay and padding trimmed, gives what
// lame's own decoder gives: the same samples from the first, and the same count.
TEST(AcmMp3Decoder, MatchesTheReferenceDecodeFromTheFirstSampleToTheLast) {
  const auto body = BodyOf(Catalogue()[0]);
  AcmStreamPool pool;
  auto decoder = AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(std::span(body.data(), body.size())), pool);
  ASSERT_TRUE(decoder);
  std::vector<float> samples;
  while (decoder->DecodeMore(samples)) {}
  EXPECT_EQ(samples.size() / 2, 212062u) << "lame --decode gives 212062 frames";
  const std::vector<int16_t> reference = LeftChannelOf(testing::ReadFileBytes(FixturePath(L"clip01_reference_44k.raw")));
  ASSERT_GT(reference.size(), 10000u);
  int worst = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    worst = std::max(worst, std::abs(static_cast<int>(std::lround(samples[2 * i] * 32768.0f)) - reference[i]));
  }
  EXPECT_LE(worst, 2);

  // The same codec stream, reused for the next clip, starts afresh.
  decoder.reset();
  auto again = AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(std::span(body.data(), body.size())), pool);
  ASSERT_TRUE(again);
  std::vector<float> first;
  while (first.size() < 2000 && again->DecodeMore(first)) {}
  int worstAgain = 0;
  for (size_t i = 0; i < 1000; ++i) {
    worstAgain = std::max(worstAgain, std::abs(static_cast<int>(std::lround(first[2 * i] * 32768.0f)) - reference[i]));
  }
  EXPECT_LE(worstAgain, 2);
}

TEST(AcmMp3Decoder, ACutOffFileEndsEarlyAndNoSoundIsRefused) {
  AcmStreamPool pool;
  const auto body = BodyOf(Catalogue()[0]);
  auto cut = AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(std::span(body.data(), body.size() / 3 + 123)), pool);
  ASSERT_TRUE(cut);
  std::vector<float> samples;
  while (cut->DecodeMore(samples)) {}
  EXPECT_GT(samples.size() / 2, 212062u / 4);
  EXPECT_LT(samples.size() / 2, 212062u / 2);

  const std::string text = "this is not an MP3 file, only text";
  const Bytes bytes(text.begin(), text.end());
  EXPECT_FALSE(AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(bytes), pool));
  EXPECT_FALSE(AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(Bytes{}), pool));
}

}  // namespace
}  // namespace kivora::audio
