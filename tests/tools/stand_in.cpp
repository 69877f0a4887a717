// The other program of the hotkey tests: a plain window titled "Stand-in" that
// holds the X focus while keys are pressed, as the broadcast software would. It
// can also take hotkeys of its own, given as "<modifiers>:<virtual key>[:repeat]"
// (numbers as RegisterHotKey takes them; ":repeat" leaves MOD_NOREPEAT out), and
// prints one line per key as it goes: "registered <spec>" or "taken <spec>", then
// "pressed <spec> <count>" for every WM_HOTKEY that reaches it.
// "watch:<virtual key>" makes it a voice chat's push-to-talk: it reads the key's
// state (GetAsyncKeyState) every millisecond and prints "down <time>" or "up <time>"
// each time it changes, the time the performance counter's.
//   stand_in.exe [spec...] [watch:<virtual key>]
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::wstring> specs;
std::vector<int> presses;

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

// Prints each change of the key's state, from up at the start.
[[noreturn]] void WatchKey(int key) {
  bool down = false;
  for (;;) {
    const bool now = (GetAsyncKeyState(key) & 0x8000) != 0;
    if (now != down) {
      down = now;
      LARGE_INTEGER counter{};
      QueryPerformanceCounter(&counter);
      std::printf("%s %lld\n", down ? "down" : "up", static_cast<long long>(counter.QuadPart));
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
      std::thread(WatchKey, static_cast<int>(std::wcstol(argv[index] + 6, nullptr, 10))).detach();
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
