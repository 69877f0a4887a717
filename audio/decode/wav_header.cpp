#include "audio/decode/wav_header.h"

#include <algorithm>

#include "audio/decode/riff_bytes.h"
#include "audio/decode/wave_chunks.h"

namespace kivora::audio {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatMsAdpcm = 2;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatALaw = 6;
constexpr uint16_t kFormatMuLaw = 7;
constexpr uint16_t kFormatImaAdpcm = 0x11;
constexpr uint16_t kFormatGsm610 = 0x31;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr unsigned kMaxChannels = 8;
constexpr unsigned kMaxBlockCodedChannels = 2;
constexpr unsigned kLowestRate = 1000;
constexpr unsigned kHighestRate = 384000;
constexpr size_t kByteRateAt = 8;
// The fields a format chunk may carry after the 16 bytes every one has.
constexpr size_t kExtraSizeAt = 16;
constexpr size_t kFramesPerBlockAt = 18;  // the ADPCM and GSM formats' first extra field
constexpr size_t kChannelMaskAt = 20;     // WAVE_FORMAT_EXTENSIBLE's
constexpr size_t kSubFormatAt = 24;
constexpr size_t kCoefficientCountAt = 20;  // MS ADPCM's table of predictor pairs
constexpr size_t kCoefficientsAt = 22;
constexpr unsigned kMsAdpcmStandardCoefficients = 7;
constexpr unsigned kGsmBlockBytes = 65;
constexpr unsigned kGsmBlockFrames = 320;

bool Fits(std::span<const uint8_t> body, size_t at, size_t bytes) { return body.size() >= at + bytes; }

// The format a codec is handed: the 18 bytes of WAVEFORMATEX, then extra
// bytes of the coding's own, their count in the size field at 16.
void SetCodecFormat(std::span<const uint8_t> body, std::span<const uint8_t> extra, WavLayout& layout) {
  layout.format.assign(body.begin(), body.begin() + kExtraSizeAt);
  layout.format.push_back(static_cast<uint8_t>(extra.size()));
  layout.format.push_back(static_cast<uint8_t>(extra.size() >> 8));
  layout.format.insert(layout.format.end(), extra.begin(), extra.end());
}

// The frames a block holds, as the format's first extra field declares them;
// what the coding's block size makes them when the format leaves the field out.
unsigned DeclaredFramesPerBlock(std::span<const uint8_t> body, unsigned implied) {
  return Fits(body, kFramesPerBlockAt, 2) ? Little16(body, kFramesPerBlockAt) : implied;
}

// IMA ADPCM: each channel's block starts with a 4-byte header holding its
// first sample, then words of 8 samples, a channel's word after another's.
bool ReadImaBlocks(std::span<const uint8_t> body, WavLayout& layout) {
  const unsigned header = 4 * layout.channels;
  if (layout.channels > kMaxBlockCodedChannels || layout.bitsPerSample != 4 || layout.blockAlign <= header ||
      layout.blockAlign % header != 0) {
    return false;
  }
  const unsigned implied = (layout.blockAlign - header) * 2 / layout.channels + 1;
  layout.framesPerBlock = DeclaredFramesPerBlock(body, implied);
  const uint8_t extra[] = {static_cast<uint8_t>(implied), static_cast<uint8_t>(implied >> 8)};
  SetCodecFormat(body, extra, layout);
  return layout.framesPerBlock == implied;
}

// MS ADPCM: a 7-byte header per channel (predictor, delta, two samples), then
// one nibble a sample, and a table of predictor pairs in the format whose
// first seven are the standard ones.
bool ReadMsBlocks(std::span<const uint8_t> body, WavLayout& layout) {
  const unsigned header = 7 * layout.channels;
  if (!Fits(body, kCoefficientsAt, 0) || layout.channels > kMaxBlockCodedChannels || layout.bitsPerSample != 4 ||
      layout.blockAlign <= header || (layout.blockAlign - header) % layout.channels != 0) {
    return false;
  }
  const unsigned coefficients = Little16(body, kCoefficientCountAt);
  if (coefficients < kMsAdpcmStandardCoefficients || !Fits(body, kCoefficientsAt, 4 * coefficients)) return false;
  layout.framesPerBlock = Little16(body, kFramesPerBlockAt);
  SetCodecFormat(body, body.subspan(kFramesPerBlockAt, kCoefficientsAt - kFramesPerBlockAt + 4 * coefficients), layout);
  return layout.framesPerBlock == (layout.blockAlign - header) * 2 / layout.channels + 2;
}

// GSM 6.10 as WAVE carries it: two 160-sample frames in 65 bytes, mono.
bool ReadGsmBlocks(std::span<const uint8_t> body, WavLayout& layout) {
  layout.framesPerBlock = DeclaredFramesPerBlock(body, kGsmBlockFrames);
  const uint8_t extra[] = {static_cast<uint8_t>(kGsmBlockFrames), static_cast<uint8_t>(kGsmBlockFrames >> 8)};
  SetCodecFormat(body, extra, layout);
  // The codec refuses a format whose byte rate is not the one its blocks make
  // (Wine's does); a writer's rounding must not cost the file its sound.
  const uint32_t byteRate = layout.sampleRate * kGsmBlockBytes / kGsmBlockFrames;
  for (size_t i = 0; i < 4; ++i) layout.format[kByteRateAt + i] = static_cast<uint8_t>(byteRate >> (8 * i));
  return layout.channels == 1 && layout.blockAlign == kGsmBlockBytes && layout.framesPerBlock == kGsmBlockFrames;
}

// One frame per block, of whole bytes a sample.
bool ReadSampled(WavLayout& layout) {
  bool bitsKnown = false;
  switch (layout.encoding) {
    case WavEncoding::Int:
      bitsKnown = layout.bitsPerSample == 8 || layout.bitsPerSample == 16 || layout.bitsPerSample == 24 ||
                  layout.bitsPerSample == 32;
      break;
    case WavEncoding::Float: bitsKnown = layout.bitsPerSample == 32; break;
    default: bitsKnown = layout.bitsPerSample == 8; break;
  }
  layout.framesPerBlock = 1;
  return bitsKnown && layout.blockAlign == layout.channels * layout.bitsPerSample / 8;
}

struct Tag {
  uint16_t tag;
  WavEncoding encoding;
};
constexpr Tag kTags[] = {
    {kFormatPcm, WavEncoding::Int},           {kFormatFloat, WavEncoding::Float},
    {kFormatMuLaw, WavEncoding::MuLaw},       {kFormatALaw, WavEncoding::ALaw},
    {kFormatImaAdpcm, WavEncoding::ImaAdpcm}, {kFormatMsAdpcm, WavEncoding::MsAdpcm},
    {kFormatGsm610, WavEncoding::Gsm610},
};

enum class TagKind { Ours, Foreign, Broken };

// The encoding the format's tag names, and its plain fields.
TagKind ReadTag(std::span<const uint8_t> body, WavLayout& layout) {
  if (body.size() < 16) return TagKind::Broken;
  uint16_t tag = Little16(body, 0);
  layout.channels = Little16(body, 2);
  layout.sampleRate = Little32(body, 4);
  layout.blockAlign = Little16(body, 12);
  layout.bitsPerSample = Little16(body, 14);
  if (layout.channels < 1 || layout.channels > kMaxChannels || layout.sampleRate < kLowestRate ||
      layout.sampleRate > kHighestRate || layout.blockAlign == 0) {
    return TagKind::Broken;
  }
  if (tag == kFormatExtensible) {
    // The first two bytes of the sub-format GUID carry the plain format tag. A
    // codec's format is not read through it: the codec is handed the format as it stands.
    if (!Fits(body, kSubFormatAt, 2)) return TagKind::Foreign;
    tag = Little16(body, kSubFormatAt);
    if (tag != kFormatPcm && tag != kFormatFloat && tag != kFormatMuLaw && tag != kFormatALaw) {
      return TagKind::Foreign;
    }
    layout.channelMask = Little32(body, kChannelMaskAt);
  }
  const auto known = std::ranges::find(kTags, tag, &Tag::tag);
  if (known == std::end(kTags)) return TagKind::Foreign;
  layout.encoding = known->encoding;
  return TagKind::Ours;
}

// Fills the layout's format from a "fmt " chunk body.
TagKind ReadFormat(std::span<const uint8_t> body, WavLayout& layout) {
  const TagKind kind = ReadTag(body, layout);
  if (kind != TagKind::Ours) return kind;
  bool sane = false;
  switch (layout.encoding) {
    case WavEncoding::ImaAdpcm: sane = ReadImaBlocks(body, layout); break;
    case WavEncoding::MsAdpcm: sane = ReadMsBlocks(body, layout); break;
    case WavEncoding::Gsm610: sane = ReadGsmBlocks(body, layout); break;
    default: sane = ReadSampled(layout); break;
  }
  return sane ? TagKind::Ours : TagKind::Broken;
}

// A fact chunk's count counts when it ends within the last whole block of the data.
std::optional<uint64_t> SoundFrames(const WavLayout& layout, std::optional<uint32_t> fact) {
  if (!fact || !BlockCoded(layout.encoding)) return std::nullopt;
  const uint64_t blocks = layout.dataBytes / layout.blockAlign;
  const uint64_t whole = blocks * layout.framesPerBlock;
  if (blocks == 0 || *fact > whole || *fact <= whole - layout.framesPerBlock) return std::nullopt;
  return *fact;
}

}  // namespace

bool BlockCoded(WavEncoding encoding) {
  return encoding == WavEncoding::ImaAdpcm || encoding == WavEncoding::MsAdpcm || encoding == WavEncoding::Gsm610;
}

std::optional<WavLayout> ParseWavHeader(ByteSource& source) {
  auto chunks = FindWaveChunks(source);
  WavLayout layout;
  if (!chunks || !chunks->dataOffset || ReadFormat(chunks->format, layout) != TagKind::Ours) return std::nullopt;
  layout.dataOffset = *chunks->dataOffset;
  layout.dataBytes = chunks->dataBytes;
  layout.soundFrames = SoundFrames(layout, chunks->factFrames);
  return layout;
}

std::optional<WavLayout> ParseWavHeader(std::span<const uint8_t> bytes) {
  MemoryByteSource source(bytes);
  return ParseWavHeader(source);
}

FormatVerdict JudgeWaveFormat(std::span<const uint8_t> body) {
  WavLayout layout;
  switch (ReadFormat(body, layout)) {
    case TagKind::Ours: return FormatVerdict::Decoded;
    case TagKind::Foreign: return FormatVerdict::Foreign;
    case TagKind::Broken: break;
  }
  return FormatVerdict::Broken;
}

}  // namespace kivora::audio
