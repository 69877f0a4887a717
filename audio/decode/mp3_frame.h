// MPEG audio frame headers and where the audio of an MP3 file begins: the
// four-byte header that starts every frame, and the ID3v2 tag a file may put
// before its first frame. Pure code over bytes, no device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kivora::audio {

struct Mp3FrameHeader {
  int mpegVersion = 1;  // 1, 2, or 25 for MPEG 2.5
  int layer = 3;
  unsigned bitrateKbps = 0;
  unsigned sampleRate = 0;
  unsigned channels = 0;
  unsigned samplesPerFrame = 0;
  size_t frameBytes = 0;  // the whole frame, header included
  size_t sideInfoBytes = 0;  // Layer III side information after the header (and its CRC)
};

// The header at the start of bytes, or nothing when those four bytes are no
// valid frame header (no sync, reserved fields, free-format bitrate).
std::optional<Mp3FrameHeader> ParseMp3FrameHeader(std::span<const uint8_t> bytes);

// The full length of the ID3v2 tag at the start of bytes (header, body and
// footer), or 0 when bytes do not start with one. A tag whose header is cut
// off counts as no tag.
uint64_t Id3v2TagLength(std::span<const uint8_t> bytes);

// The offset of the first Layer III frame in bytes at or after from, confirmed
// by the frames that follow it: each of the next confirmFrames frames must
// start where the one before ends, with the same version, layer and sample
// rate. Frames that would run past the end of bytes confirm nothing, unless
// the first frame itself ends exactly at the end. Searches at most
// searchLimit bytes past from.
std::optional<size_t> FindLayer3Audio(std::span<const uint8_t> bytes, size_t from, size_t searchLimit,
                                      int confirmFrames = 2);

}  // namespace kivora::audio
