#include "decor/banner_fetch.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "base/message_window.h"
#include "base/window_procedure_guard.h"

namespace kivora {
namespace {

constexpr wchar_t kWindowClass[] = L"KivoraBannerFetch";
constexpr UINT kBodyReadyMessage = WM_APP + 1;

}  // namespace

// What the worker and the user-interface thread share. The worker posts only
// while holding the lock and only if not cancelled; Cancel raises the flag under
// the same lock before the window goes, so no post can reach a destroyed window.
struct BannerFetch::Shared {
  std::mutex lock;
  std::atomic<bool> cancelled{false};
  HWND target = nullptr;
  std::vector<unsigned char> body;
};

void BannerFetch::Start(const std::wstring& address, Arrived arrived, const FetchLimits& limits) {
  Cancel();
  window_ = CreateMessageWindow(kWindowClass, WindowProc, this);
  if (!window_) return;
  arrived_ = std::move(arrived);
  shared_ = std::make_shared<Shared>();
  shared_->target = window_;

  // The worker holds its own share of the state and is never joined: exit does
  // not wait for a server that never answers.
  auto worker = [shared = shared_, address, limits]() noexcept {
    std::vector<unsigned char> body;
    try {
      body = ReadWebResource(address, shared->cancelled, limits);
    } catch (...) {
      body.clear();
    }
    std::lock_guard<std::mutex> hold(shared->lock);
    if (shared->cancelled) return;
    shared->body = std::move(body);
    PostMessageW(shared->target, kBodyReadyMessage, 0, 0);
  };
  try {
    std::thread(std::move(worker)).detach();
  } catch (...) {
    Cancel();  // no thread to be had: the box stays empty, as after a failed fetch
  }
}

void BannerFetch::Cancel() {
  if (shared_) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->cancelled = true;
  }
  shared_.reset();
  arrived_ = nullptr;
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

void BannerFetch::Deliver() {
  if (!shared_) return;
  std::vector<unsigned char> body;
  {
    std::lock_guard<std::mutex> hold(shared_->lock);
    body = std::move(shared_->body);
  }
  Arrived arrived = std::move(arrived_);
  Cancel();  // the fetch is over: the window goes and the state is released
  if (arrived) arrived(std::move(body));
}

LRESULT CALLBACK BannerFetch::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<BannerFetch*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message != kBodyReadyMessage || !self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return GuardWindowProcedure(
      [&]() -> LRESULT {
        self->Deliver();
        return 0;
      },
      [] { return LRESULT{0}; });
}

}  // namespace kivora
