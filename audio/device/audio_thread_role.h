// What the system is told about a thread that works for the sound: its name,
// for debuggers and profilers, and for the thread that writes to the device, the
// multimedia scheduler's "Pro Audio" class, which runs it ahead of ordinary
// threads without the starvation that a fixed real-time priority risks.
#pragma once

#include <windows.h>

#include "base/late_library.h"

namespace kivora::audio {

// Names the calling thread (Windows 10 and later; Wine hands the name on to
// Linux, where per-thread CPU can be read by it).
void NameThisThread(const wchar_t* name);

// Registers the calling thread with the multimedia scheduler for as long as it
// lives; where that service is missing, the thread runs at time-critical priority.
class ProAudioRegistration {
 public:
  ProAudioRegistration();
  ~ProAudioRegistration();
  ProAudioRegistration(const ProAudioRegistration&) = delete;
  ProAudioRegistration& operator=(const ProAudioRegistration&) = delete;

  bool Registered() const { return task_ != nullptr; }

 private:
  kivora::LateLibrary avrt_{L"avrt.dll"};
  HANDLE task_ = nullptr;
};

}  // namespace kivora::audio
