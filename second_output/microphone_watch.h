// Looks at the chosen microphone once a second, on the window's thread, and tells
// (a balloon, an event) when it is missing and when it is back. The capture
// tries a missing device again every second on its own thread; this only reads
// what the last try found.
// Made, used and destroyed on the window thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "second_output/microphone_notices.h"

namespace kivora {

class MicrophoneWatch {
 public:
  // missing: whether the capture's last try found the chosen device missing.
  MicrophoneWatch(std::function<bool()> missing, std::function<void(const DeviceChange&)> tell);
  ~MicrophoneWatch();
  MicrophoneWatch(const MicrophoneWatch&) = delete;
  MicrophoneWatch& operator=(const MicrophoneWatch&) = delete;

  // The microphone chosen now (an empty ID: none, and nothing is looked at).
  void Use(const std::wstring& id, const std::wstring& name);

 private:
  void Look();
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  std::function<bool()> missing_;
  std::function<void(const DeviceChange&)> tell_;
  MicrophoneNotices notices_;
  std::wstring id_;
  HWND window_ = nullptr;
};

}  // namespace kivora
