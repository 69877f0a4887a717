// The engine's state of one sound, which every output obeys: its volume, whether
// it is paused, whether it was stopped. Written by the thread that controls the
// sound (the window's), read by every output's device thread. Pure code.
#pragma once

#include <algorithm>
#include <atomic>

namespace kivora::audio {

struct VoiceControls {
  // Gains in 0..1 for each channel.
  void SetGain(float left, float right) {
    targetLeft.store(std::clamp(left, 0.0f, 1.0f));
    targetRight.store(std::clamp(right, 0.0f, 1.0f));
  }

  std::atomic<float> targetLeft{1.0f}, targetRight{1.0f};
  std::atomic<bool> paused{false};
  std::atomic<bool> stopping{false};
};

}  // namespace kivora::audio
