// The bytes of a small sound file that every decoder takes, for tests that put a
// file in a slot and care about the slot, not the sound.
#pragma once

#include <string>

namespace kivora::testing {

// 100 ms of stereo 16-bit silence at 44.1 kHz, as a RIFF/WAVE file.
std::string SilentWave();

}  // namespace kivora::testing
