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
  // Not stopped, and still to be heard: its voice on the monitor (the output every
  // sound has) has not ended. A voice on an output whose device is away waits
  // there and does not count.
  bool Sounding() const { return !stopping.load() && liveVoices.load() > 0; }

  std::atomic<float> targetLeft{1.0f}, targetRight{1.0f};
  std::atomic<bool> paused{false};
  std::atomic<bool> stopping{false};
  // The sound's voices on the monitor that have not ended (one, or none).
  std::atomic<int> liveVoices{0};

  // Set before the sound starts, read-only after: how long a stop or a cut-off
  // fades (a voice never fades in less than its own ramp), and whether starting
  // the sound cuts off every sound before it.
  double stopFadeSeconds = 0;
  bool cutsOthers = true;
};

}  // namespace kivora::audio
