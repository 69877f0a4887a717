#include "audio/decode/clip_verdict.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/decode/mp3_frame.h"
#include "audio/decode/riff_bytes.h"
#include "audio/decode/wav_header.h"
#include "audio/decode/wave_chunks.h"

namespace kivora::audio {
namespace {

constexpr size_t kLookBytes = 64 * 1024;
constexpr int kMostId3Tags = 8;
constexpr size_t kTextLookBytes = 512;

// Where the audio of an MPEG file would start: past its ID3v2 tags.
size_t PastId3Tags(std::span<const uint8_t> head) {
  size_t at = 0;
  for (int tag = 0; tag < kMostId3Tags && at < head.size(); ++tag) {
    const uint64_t length = Id3v2TagLength(head.subspan(at));
    if (length == 0) break;
    // A tag whose size points past the end is no tag: the search goes on from it.
    if (length >= head.size() - at) break;
    at += static_cast<size_t>(length);
  }
  return at;
}

// A Layer III frame sync of an MPEG version that exists. An AAC stream's sync has
// layer bits 00, and Layer I and II files are not the engine's: those stay the
// system player's.
bool MpegSyncAt(std::span<const uint8_t> bytes, size_t at) {
  if (at + 2 > bytes.size() || bytes[at] != 0xFF || (bytes[at + 1] & 0xE0) != 0xE0) return false;
  const int version = (bytes[at + 1] >> 3) & 3;
  const int layer = (bytes[at + 1] >> 1) & 3;
  return version != 1 && layer == 1;
}

// Empty, or text: no byte among the first ones is a control character other
// than white space. Any media file has some within its first 512 bytes, in a
// header's zeros or in compressed data. The system player takes its time to refuse
// such a file: under Wine, GStreamer's first start held the window 170 ms.
bool HoldsNoSound(std::span<const uint8_t> head) {
  head = head.first(std::min(head.size(), kTextLookBytes));
  return std::all_of(head.begin(), head.end(), [](uint8_t c) {
    return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0x1B;
  });
}

// Damaged unless a format that makes sense (1 to 8 channels, 1000 to 384000
// frames a second, and for the formats this program decodes, fields that agree
// with each other) comes before a data chunk within the file: a format chunk
// whose size runs past the end leaves no data chunk after it.
bool WaveDamaged(ByteSource& source) {
  const auto chunks = FindWaveChunks(source);
  return !chunks || !chunks->dataOffset || JudgeWaveFormat(chunks->format) == FormatVerdict::Broken;
}

}  // namespace

ClipKind RecogniseClip(std::span<const uint8_t> head) {
  if (IdIs(head, 0, "RIFF") && IdIs(head, 8, "WAVE")) return ClipKind::Wave;
  if (head.size() >= 3 && std::memcmp(head.data(), "ID3", 3) == 0) return ClipKind::MpegAudio;
  if (MpegSyncAt(head, 0)) return ClipKind::MpegAudio;
  return HoldsNoSound(head) ? ClipKind::NoSound : ClipKind::Unrecognised;
}

bool KnownDamaged(ByteSource& source) {
  if (!source.Seek(0)) return false;
  std::vector<uint8_t> head(kLookBytes);
  head.resize(ReadFully(source, head));
  switch (RecogniseClip(head)) {
    case ClipKind::Wave:
      return WaveDamaged(source);
    case ClipKind::MpegAudio:
      return !FindLayer3Audio(head, PastId3Tags(head), kLookBytes, 1).has_value();
    case ClipKind::NoSound:
      return true;
    case ClipKind::Unrecognised:
      break;
  }
  return false;
}

bool KnownDamaged(std::span<const uint8_t> bytes) {
  MemoryByteSource source(bytes);
  return KnownDamaged(source);
}

}  // namespace kivora::audio
