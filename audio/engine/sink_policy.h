// How each kind of output behaves, as data: a new kind of output is a new row.
#pragma once

#include <string_view>

namespace kivora::audio {

struct SinkPolicy {
  std::wstring_view name;  // the output's thread is named after it
  // Moves to the system's new default device when it changes, mid-sound included.
  bool followsDefault;
  // Opened for a sound, closed after a quiet spell, and a click waits for its
  // open. Otherwise the stream is open as long as the output is set, a device
  // that is missing is tried again in the background, and no click waits for it.
  bool opensForSounds;
  // The device buffer asked for, in milliseconds; 0: the smallest the device
  // allows. A larger one rides out a device thread held up by a busy machine
  // (the buffer runs dry after it and the listener hears a gap), at the price of
  // its length in latency.
  unsigned bufferMs;
};

// The default device: what the user hears, as soon as possible.
inline constexpr SinkPolicy kMonitorSink{L"monitor", true, true, 0};
// The device chosen for the broadcast (a virtual cable): fixed by its endpoint
// ID. Under Wine a 100 ms buffer here made the default device's stream start its
// file afresh mid-sound, so it takes the smallest buffer too.
inline constexpr SinkPolicy kBroadcastSink{L"broadcast", false, false, 0};

}  // namespace kivora::audio
