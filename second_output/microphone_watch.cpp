#include "second_output/microphone_watch.h"

#include "base/message_window.h"
#include "base/window_procedure_guard.h"

namespace kivora {
namespace {

constexpr wchar_t kWindowClass[] = L"KivoraMicrophoneWatch";
constexpr UINT_PTR kLookTimer = 1;
// As often as the capture tries a missing device again.
constexpr UINT kLookMs = 1000;

}  // namespace

MicrophoneWatch::MicrophoneWatch(std::function<bool()> missing, std::function<void(const DeviceChange&)> tell)
    : missing_(std::move(missing)), tell_(std::move(tell)) {}

MicrophoneWatch::~MicrophoneWatch() {
  if (window_) DestroyWindow(window_);
}

void MicrophoneWatch::Use(const std::wstring& id, const std::wstring& name) {
  if (id == id_) return;
  id_ = id;
  notices_.Chosen(id, name);
  if (!window_) window_ = CreateMessageWindow(kWindowClass, WindowProc, this);
  if (!window_) return;
  if (id_.empty()) {
    KillTimer(window_, kLookTimer);
  } else {
    SetTimer(window_, kLookTimer, kLookMs, nullptr);
  }
}

void MicrophoneWatch::Look() {
  if (id_.empty() || !missing_) return;
  if (const std::optional<DeviceChange> change = notices_.Looked(missing_())) {
    if (tell_) tell_(*change);
  }
}

LRESULT CALLBACK MicrophoneWatch::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<MicrophoneWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == WM_TIMER && wParam == kLookTimer) {
    return GuardWindowProcedure([&]() -> LRESULT { self->Look(); return 0; }, [] { return LRESULT{0}; });
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kivora
