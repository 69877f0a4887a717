// The other program of the hotkey tests: a plain window titled "Stand-in" that
// holds the X focus while keys are pressed, as the broadcast software would. It
// can also take hotkeys of its own, given as "<modifiers>:<virtual key>[:repeat]"
// (numbers as RegisterHotKey takes them; ":repeat" leaves MOD_NOREPEAT out), and
// prints one line per key as it goes: "registered <spec>" or "taken <spec>", then
// "pressed <spec> <count>" for every WM_HOTKEY that reaches it.
// "watch:<virtual key>" makes it a voice chat's push-to-talk: it reads the key's
// state (GetAsyncKeyState) every millisecond and prints "down <time>" or "up <time>"
// each time it changes, the time the performance counter's; a low-level keyboard
// hook also prints each press and release of it as the system takes it in,
// "input down|up <time> <injected 0/1> <extra info>" (a program that sent the key
// marks it in the extra info; a keyboard does not).
//   stand_in.exe [spec...] [watch:<virtual key>]
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::wstring> specs;
std::vector<int> presses;
int watchedKey = 0;

std::mutex printing;  // two threads print whole lines

long long Now() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

LRESULT CALLBACK StandInProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_HOTKEY && wParam < specs.size()) {
    std::printf("pressed %ls %d\n", specs[wParam].c_str(), ++presses[wParam]);
    std::fflush(stdout);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && static_cast<int>(event->vkCode) == watchedKey) {
    const std::lock_guard lock(printing);
    std::printf("input %s %lld %d %llu\n", wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN ? "down" : "up", Now(),
                (event->flags & LLKHF_INJECTED) ? 1 : 0, static_cast<unsigned long long>(event->dwExtraInfo));
    std::fflush(stdout);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Prints each change of the key's state, from up at the start.
[[noreturn]] void WatchKey(int key) {
  bool down = false;
  for (;;) {
    const bool now = (GetAsyncKeyState(key) & 0x8000) != 0;
    if (now != down) {
      down = now;
      const std::lock_guard lock(printing);
      std::printf("%s %lld\n", down ? "down" : "up", Now());
      std::fflush(stdout);
    }
    Sleep(1);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = StandInProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"KivoraTestStandIn";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Stand-in", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 500,
                                320, 200, nullptr, nullptr, instance, nullptr);
  for (int index = 1; index < argc; ++index) {
    if (std::wcsncmp(argv[index], L"watch:", 6) == 0) {
      watchedKey = static_cast<int>(std::wcstol(argv[index] + 6, nullptr, 10));
      std::thread(WatchKey, watchedKey).detach();
      SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, instance, 0);
      continue;
    }
    specs.emplace_back(argv[index]);
    presses.push_back(0);
    unsigned modifiers = 0, key = 0;
    wchar_t repeat[16] = {};
    const int fields = swscanf(argv[index], L"%u:%u:%15ls", &modifiers, &key, repeat);
    if (fields < 2) continue;
    if (fields < 3 || std::wstring(repeat) != L"repeat") modifiers |= MOD_NOREPEAT;
    const bool registered = RegisterHotKey(window, static_cast<int>(specs.size() - 1), modifiers, key) != FALSE;
    std::printf("%s %ls\n", registered ? "registered" : "taken", argv[index]);
  }
  std::fflush(stdout);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
