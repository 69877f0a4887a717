#include "push_to_talk/talk_keys.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <exception>

namespace kivora {
namespace {

// The key held, packed as modifiers << 16 | key; 0: none.
std::atomic<std::uint32_t> heldKey{0};
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
std::terminate_handler previousTerminate = nullptr;

struct ModifierKey {
  std::uint32_t bit;
  WORD key;
};
constexpr std::array kModifierKeys{ModifierKey{kModControl, VK_CONTROL}, ModifierKey{kModAlt, VK_MENU},
                                   ModifierKey{kModShift, VK_SHIFT}, ModifierKey{kModWin, VK_LWIN}};

bool IsExtended(WORD key) {
  return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE || key == VK_DIVIDE ||
         key == VK_LWIN || key == VK_RWIN || key == VK_APPS || key == VK_RCONTROL || key == VK_RMENU ||
         key == VK_NUMLOCK;
}

// One key event as a keyboard makes it: the virtual key and its scan code (games and
// voice chats that read raw input look at the scan code).
INPUT KeyEvent(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtended(key) ? KEYEVENTF_EXTENDEDKEY : 0);
  input.ki.dwExtraInfo = kTalkKeyMark;
  return input;
}

void SendKey(Hotkey key, bool up) {
  std::array<INPUT, 5> inputs{};
  UINT count = 0;
  if (!up) {
    for (const ModifierKey& modifier : kModifierKeys) {
      if (key.modifiers & modifier.bit) inputs[count++] = KeyEvent(modifier.key, false);
    }
  }
  inputs[count++] = KeyEvent(static_cast<WORD>(key.key), up);
  if (up) {
    for (auto modifier = kModifierKeys.rbegin(); modifier != kModifierKeys.rend(); ++modifier) {
      if (key.modifiers & modifier->bit) inputs[count++] = KeyEvent(modifier->key, true);
    }
  }
  SendInput(count, inputs.data(), sizeof(INPUT));
}

std::uint32_t Packed(Hotkey key) { return (key.modifiers & kAllModifiers) << 16 | (key.key & 0xFFFF); }

BOOL WINAPI ConsoleClosing(DWORD) noexcept {
  ReleaseHeldTalkKey();
  return FALSE;  // the next handler (or the default one, which ends the process) goes on
}

[[noreturn]] void Terminating() noexcept {
  ReleaseHeldTalkKey();
  if (previousTerminate) previousTerminate();
  std::abort();
}

void InstallGuards() {
  static const bool installed = [] {
    previousFilter = SetUnhandledExceptionFilter(TalkKeyCrashFilter);
    previousTerminate = std::set_terminate(Terminating);
    SetConsoleCtrlHandler(ConsoleClosing, TRUE);
    std::atexit([] { ReleaseHeldTalkKey(); });
    return true;
  }();
  (void)installed;
}

}  // namespace

SentTalkKeys::SentTalkKeys() { InstallGuards(); }

void SentTalkKeys::Press(Hotkey key) {
  if (key.key == 0) return;
  heldKey = Packed(key);
  SendKey(key, false);
}

void SentTalkKeys::Release(Hotkey key) {
  if (key.key == 0) return;
  heldKey = 0;
  SendKey(key, true);
}

bool SentTalkKeys::Down(Hotkey key) const { return (GetAsyncKeyState(static_cast<int>(key.key)) & 0x8000) != 0; }

bool IsOwnTalkKeyMessage(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN: case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP:
      return static_cast<ULONG_PTR>(GetMessageExtraInfo()) == kTalkKeyMark;
    default: return false;
  }
}

void ReleaseHeldTalkKey() noexcept {
  const std::uint32_t packed = heldKey.exchange(0);
  if (packed == 0) return;
  SendKey({packed >> 16, packed & 0xFFFF}, true);
}

LONG WINAPI TalkKeyCrashFilter(EXCEPTION_POINTERS* exception) noexcept {
  ReleaseHeldTalkKey();
  return previousFilter ? previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace kivora
