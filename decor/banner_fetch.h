// Fetches the banner on a worker thread, so that a slow or dead server never
// holds up the window, and hands the bytes to the user-interface thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decor/web_resource.h"

namespace kivora {

class BannerFetch {
 public:
  using Arrived = std::function<void(std::vector<unsigned char> body)>;

  BannerFetch() = default;
  ~BannerFetch() { Cancel(); }
  BannerFetch(const BannerFetch&) = delete;
  BannerFetch& operator=(const BannerFetch&) = delete;

  // Starts reading `address` on a worker thread. `arrived` runs later on the
  // calling thread, from its message loop, with the body (empty on any failure).
  // Call from the user-interface thread; a fetch already under way is cancelled.
  void Start(const std::wstring& address, Arrived arrived, const FetchLimits& limits = {});

  // From now on `arrived` never runs. A worker still waiting on the network ends
  // by itself within the fetch's time limit and touches no window on the way.
  void Cancel();

  // True from Start until the body has been handed over or the fetch cancelled.
  bool Pending() const { return window_ != nullptr; }

 private:
  struct Shared;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  void Deliver();

  std::shared_ptr<Shared> shared_;
  HWND window_ = nullptr;  // message-only window the worker posts to
  Arrived arrived_;
};

}  // namespace kivora
