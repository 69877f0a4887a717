#include "sound_bytes.h"

#include <cstdint>

namespace kivora::testing {

std::string SilentWave() {
  constexpr uint32_t kFrames = 4410;
  std::string bytes;
  auto id = [&](const char* text) { bytes.append(text, 4); };
  auto put = [&](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  id("RIFF"), put(36 + kFrames * 4, 4), id("WAVE");
  id("fmt "), put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
  id("data"), put(kFrames * 4, 4);
  bytes.append(kFrames * 4, '\0');
  return bytes;
}

}  // namespace kivora::testing
