// Reading the little-endian fields and four-letter chunk IDs of a RIFF file
// (WAVE) out of its bytes. The caller checks that the field lies within them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace kivora::audio {

inline uint32_t Little32(std::span<const uint8_t> bytes, size_t at) {
  return bytes[at] | (static_cast<uint32_t>(bytes[at + 1]) << 8) | (static_cast<uint32_t>(bytes[at + 2]) << 16) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

inline uint16_t Little16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// Whether the four bytes at at are id; false when they run past the end.
inline bool IdIs(std::span<const uint8_t> bytes, size_t at, const char* id) {
  return at + 4 <= bytes.size() && std::memcmp(bytes.data() + at, id, 4) == 0;
}

}  // namespace kivora::audio
