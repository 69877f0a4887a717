#include "push_to_talk/push_to_talk.h"

#include <algorithm>

#include "audio/engine/device_command.h"
#include "base/window_procedure_guard.h"

namespace kivora {
namespace {

constexpr wchar_t kWindowClass[] = L"KivoraPushToTalk";
constexpr UINT_PTR kStartTimer = 1;
constexpr UINT_PTR kReleaseTimer = 2;
// While the key is held, the system's state of it is looked at this often: whatever let
// it up behind the hook's back (under Wine, the focus moving between windows, which
// takes the keys' state from X) is pressed back.
constexpr UINT_PTR kCheckTimer = 3;
constexpr UINT kCheckMs = 250;
// Posted by the keyboard hook: the user let the key go (wParam 0) or pressed it (1).
constexpr UINT kUserKey = WM_APP + 1;

// The one instance, for the low-level keyboard hook, which has no context of its own.
PushToTalk* hooked = nullptr;

HWND CreateHiddenWindow(WNDPROC procedure, void* owner) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);  // fails harmlessly once the class exists
  // Top-level, never shown: a message-only window would not hear that the session ends.
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return window;
}

}  // namespace

PushToTalk::PushToTalk(audio::AudioBackend& inner, TalkKeys& keys) : inner_(inner), keys_(keys) {
  window_ = CreateHiddenWindow(WindowProc, this);
}

PushToTalk::~PushToTalk() {
  Quit();
  keyboardHook_.Reset();
  if (hooked == this) hooked = nullptr;
  if (window_) DestroyWindow(window_);
}

int64_t PushToTalk::NowMs() { return static_cast<int64_t>(GetTickCount64()); }

void PushToTalk::Use(const TalkKeyValues& values) {
  if (values.key != values_.key) {
    // The old key comes up before another is held.
    Carry(hold_.Quit());
    if (heldStart_) SendHeldStart();
  }
  values_ = values;
  hold_.SetTiming(values.timing);
  quit_ = false;
  if (values_.key && !keyboardHook_) {
    hooked = this;
    keyboardHook_.Reset(SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, GetModuleHandleW(nullptr), 0));
  } else if (!values_.key) {
    keyboardHook_.Reset();
  }
}

void PushToTalk::Quit() {
  if (heldStart_) SendHeldStart();
  Carry(hold_.Quit());
  quit_ = true;
  if (window_) KillTimer(window_, kReleaseTimer);
}

void PushToTalk::Sounding(bool sounding) {
  if (!values_.key || quit_) return;
  Carry(hold_.Sounding(sounding, NowMs()));
  ArmRelease();
}

audio::DeviceResult PushToTalk::Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) {
  return inner_.Open(deviceType, path, alias);
}

audio::DeviceResult PushToTalk::Send(const std::wstring& command) {
  const auto parsed = audio::ParseDeviceCommand(command);
  if (!values_.key || quit_ || !parsed) return inner_.Send(command);
  switch (parsed->verb) {
    case audio::DeviceVerb::Play:
    case audio::DeviceVerb::Resume: {
      if (heldStart_) SendHeldStart();
      const TalkHold::Start start = hold_.SoundStarting(NowMs());
      Carry(start.action);
      heldStart_ = command;
      if (start.waitMs > 0 && window_ && SetTimer(window_, kStartTimer, static_cast<UINT>(start.waitMs), nullptr)) {
        return 0;  // it starts when the lead has passed
      }
      return SendHeldStart();
    }
    case audio::DeviceVerb::Close:
      // A sound closed before its lead ran out never starts.
      if (heldStart_) {
        heldStart_.reset();
        KillTimer(window_, kStartTimer);
        Carry(hold_.StartSent(NowMs()));
        ArmRelease();
      }
      break;
    case audio::DeviceVerb::Pause:
      if (heldStart_) SendHeldStart();
      break;
    case audio::DeviceVerb::SetVolume: break;  // takes effect whenever the sound starts
  }
  return inner_.Send(command);
}

// The start that waited goes to the device now.
audio::DeviceResult PushToTalk::SendHeldStart() {
  if (window_) KillTimer(window_, kStartTimer);
  if (!heldStart_) return 0;
  const std::wstring command = std::move(*heldStart_);
  heldStart_.reset();
  const audio::DeviceResult result = inner_.Send(command);
  Carry(hold_.StartSent(NowMs()));
  ArmRelease();
  return result;
}

void PushToTalk::Carry(KeyAction action) {
  if (!values_.key) return;
  if (action == KeyAction::Press) {
    keys_.Press(*values_.key);
    if (window_) SetTimer(window_, kCheckTimer, kCheckMs, nullptr);
  }
  if (action == KeyAction::Release) {
    keys_.Release(*values_.key);
    if (window_) KillTimer(window_, kCheckTimer);
  }
}

void PushToTalk::ArmRelease() {
  if (!window_) return;
  const std::optional<int64_t> due = hold_.NextDue();
  if (!due) {
    KillTimer(window_, kReleaseTimer);
    return;
  }
  const int64_t wait = std::clamp<int64_t>(*due - NowMs(), 1, USER_TIMER_MAXIMUM);
  SetTimer(window_, kReleaseTimer, static_cast<UINT>(wait), nullptr);
}

void PushToTalk::OnUserKey(bool down) {
  if (!values_.key || quit_) return;
  Carry(down ? hold_.UserPressed() : hold_.UserReleased());
}

LRESULT CALLBACK PushToTalk::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<PushToTalk*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return GuardWindowProcedure(
      [&]() -> LRESULT {
        switch (message) {
          case WM_TIMER:
            if (wParam == kStartTimer) {
              self->SendHeldStart();
            } else if (wParam == kReleaseTimer) {
              KillTimer(window, kReleaseTimer);
              self->Carry(self->hold_.Due(NowMs()));
              self->ArmRelease();
            } else if (wParam == kCheckTimer) {
              if (!self->hold_.Held()) KillTimer(window, kCheckTimer);
              else if (self->values_.key && !self->keys_.Down(*self->values_.key)) self->OnUserKey(false);
            }
            return 0;
          case kUserKey: self->OnUserKey(wParam != 0); return 0;
          // The session ends: the process may be gone before anything else runs.
          case WM_ENDSESSION:
            if (wParam) self->Quit();
            return 0;
          default: return DefWindowProcW(window, message, wParam, lParam);
        }
      },
      [&] { return DefWindowProcW(window, message, wParam, lParam); });
}

// Sees the key as the user presses it (not as Kivora sends it); handled after the
// key has reached the system, so that a press back lands after the user's release.
LRESULT CALLBACK PushToTalk::KeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == HC_ACTION && hooked && hooked->values_.key) {
    const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (!(event->flags & LLKHF_INJECTED) && event->vkCode == hooked->values_.key->key) {
      const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
      PostMessageW(hooked->window_, kUserKey, down ? 1 : 0, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace kivora
