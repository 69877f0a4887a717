// Prints the controls of a running Kivora window as another program sees them,
// one per line: "<caption>\t<visible 0/1>\t<enabled 0/1>". The end-to-end scripts
// read it to check what the user would read on screen.
//   window_probe.exe [window title]
// With --window it prints the window itself instead, one line:
// "<client left> <client top> <has owner 0/1> <enabled 0/1> <peak private kB>"
// (screen coordinates; the peak private memory of the window's process so far).
//   window_probe.exe --window <window title>
// With --controls it prints every control of the window and of its panes with its
// class and position: "<class>\t<caption>\t<visible>\t<enabled>\t<left> <top>\t<focused>"
// in screen coordinates, and for a hotkey field its key as "<virtual key> <flags>" in
// place of the caption, and for a combo box its entries as "<entry>|<entry>|..."
// followed by " [<chosen index>]", for a list box its chosen entry as "[<index>] <entry>",
// and for an edit box the text it holds.
//   window_probe.exe --controls <window title>
// With --geometry it prints the window's sizes, "<outer width> <outer height>
// <client width> <client height>", then every visible control below it (those on
// panes too, but not those in an area that scrolls) as
// "<class>\t<caption>\t<left> <top> <right> <bottom>" in the window's client coordinates.
//   window_probe.exe --geometry <window title>
// With --ping it prints "ready", then sends the window WM_NULL round trip after
// round trip (10 ms apart) for the given time, each allowed 100 ms, and prints
// "<round trips> <slowest in ms> <when it was sent, in ms after ready>". Exit
// code 3 when one went unanswered.
//   window_probe.exe --ping <window title> <milliseconds>
// With --balloons it prints the text of every balloon the notification area
// shows now (the shell's visible tooltip windows, of whatever process), one a line.
//   window_probe.exe --balloons
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

// Peak private (commit) memory of the process that owns the window, in kB; 0 if unknown.
unsigned long long PeakPrivateKb(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (!process) return 0;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  const bool known = GetProcessMemoryInfo(process, &counters, sizeof(counters)) != FALSE;
  CloseHandle(process);
  return known ? counters.PeakPagefileUsage / 1024 : 0;
}

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  wchar_t text[512] = {};
  GetWindowTextW(child, text, 512);
  std::printf("%s\t%d\t%d\n", Utf8(text).c_str(), IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0);
  return TRUE;
}

// The window's thread's keyboard focus, as another process can see it.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

BOOL CALLBACK PrintControl(HWND child, LPARAM focus) {
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  wchar_t text[512] = {};
  if (lstrcmpiW(className, L"msctls_hotkey32") == 0) {
    const auto value = static_cast<WORD>(SendMessageW(child, HKM_GETHOTKEY, 0, 0));
    wsprintfW(text, L"%u %u", LOBYTE(value), HIBYTE(value));
  } else if (lstrcmpiW(className, L"ComboBox") == 0) {
    std::wstring entries;
    const auto count = static_cast<int>(SendMessageW(child, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
      wchar_t entry[256] = {};
      if (SendMessageW(child, CB_GETLBTEXTLEN, index, 0) < 255) SendMessageW(child, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(entry));
      entries += (index ? L"|" : L"") + std::wstring(entry);
    }
    entries += L" [" + std::to_wstring(SendMessageW(child, CB_GETCURSEL, 0, 0)) + L"]";
    lstrcpynW(text, entries.c_str(), 512);
  } else if (lstrcmpiW(className, L"ListBox") == 0) {
    const LRESULT chosen = SendMessageW(child, LB_GETCURSEL, 0, 0);
    wchar_t entry[256] = {};
    if (chosen >= 0 && SendMessageW(child, LB_GETTEXTLEN, chosen, 0) < 255) {
      SendMessageW(child, LB_GETTEXT, chosen, reinterpret_cast<LPARAM>(entry));
    }
    lstrcpynW(text, (L"[" + std::to_wstring(chosen) + L"] " + entry).c_str(), 512);
  } else if (lstrcmpiW(className, L"Edit") == 0) {
    SendMessageW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  } else {
    GetWindowTextW(child, text, 512);
  }
  RECT area{};
  GetWindowRect(child, &area);
  std::printf("%s\t%s\t%d\t%d\t%ld %ld\t%d\n", Utf8(className).c_str(), Utf8(text).c_str(), IsWindowVisible(child) ? 1 : 0,
              IsWindowEnabled(child) ? 1 : 0, area.left, area.top, reinterpret_cast<HWND>(focus) == child ? 1 : 0);
  return TRUE;
}

// Whether a control lies in an area that scrolls, where it may be out of sight.
bool InScrollingArea(HWND control, HWND window) {
  for (HWND parent = GetParent(control); parent && parent != window; parent = GetParent(parent)) {
    if (GetWindowLongW(parent, GWL_STYLE) & WS_VSCROLL) return true;
  }
  return false;
}

BOOL CALLBACK PrintGeometry(HWND child, LPARAM window) {
  if (!IsWindowVisible(child) || InScrollingArea(child, reinterpret_cast<HWND>(window))) return TRUE;
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  wchar_t text[512] = {};
  GetWindowTextW(child, text, 512);
  RECT area{};
  GetWindowRect(child, &area);
  MapWindowPoints(HWND_DESKTOP, reinterpret_cast<HWND>(window), reinterpret_cast<POINT*>(&area), 2);
  std::printf("%s\t%s\t%ld %ld %ld %ld\n", Utf8(className).c_str(), Utf8(text).c_str(), area.left, area.top,
              area.right, area.bottom);
  return TRUE;
}

void PrintWindowGeometry(HWND window) {
  RECT outer{}, client{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  std::printf("%ld %ld %ld %ld\n", outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom);
  EnumChildWindows(window, PrintGeometry, reinterpret_cast<LPARAM>(window));
}

int Ping(HWND window, DWORD milliseconds) {
  constexpr UINT kAnswerWithin = 100;
  constexpr DWORD kGap = 10;
  std::printf("ready\n");
  std::fflush(stdout);
  LARGE_INTEGER frequency, start;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const auto msSince = [&](const LARGE_INTEGER& from) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
  };
  unsigned count = 0;
  double slowest = 0;
  double slowestAt = 0;
  while (msSince(start) < milliseconds) {
    LARGE_INTEGER sent;
    QueryPerformanceCounter(&sent);
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerWithin, &result) != 0;
    const double took = msSince(sent);
    ++count;
    if (took > slowest) {
      slowest = took;
      slowestAt = msSince(start) - took;
    }
    if (!answered) {
      std::printf("%u %.1f unanswered\n", count, took);
      return 3;
    }
    Sleep(kGap);
  }
  std::printf("%u %.1f %.0f\n", count, slowest, slowestAt);
  return 0;
}

BOOL CALLBACK PrintBalloon(HWND window, LPARAM) {
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (lstrcmpiW(className, TOOLTIPS_CLASSW) != 0 || !IsWindowVisible(window)) return TRUE;
  // A tooltip answers WM_GETTEXT with the text it shows; the system carries the
  // message and its answer across processes.
  wchar_t text[512] = {};
  DWORD_PTR copied = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &copied) &&
      text[0]) {
    std::printf("%s\n", Utf8(text).c_str());
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring option = argc > 1 ? argv[1] : L"";
  if (option == L"--balloons") {
    EnumWindows(PrintBalloon, 0);
    return 0;
  }
  const bool itself = option == L"--window";
  const int titleArgument = option.starts_with(L"--") ? 2 : 1;
  const wchar_t* title = argc > titleArgument ? argv[titleArgument] : L"Kivora";
  HWND window = FindWindowW(nullptr, title);
  if (!window) return 1;
  if (option == L"--ping") return Ping(window, argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 1000);
  if (itself) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    std::printf("%ld %ld %d %d %llu\n", origin.x, origin.y, GetWindow(window, GW_OWNER) ? 1 : 0,
                IsWindowEnabled(window) ? 1 : 0, PeakPrivateKb(window));
    return 0;
  }
  if (option == L"--geometry") PrintWindowGeometry(window);
  else if (option == L"--controls") EnumChildWindows(window, PrintControl, reinterpret_cast<LPARAM>(FocusOf(window)));
  else EnumChildWindows(window, PrintChild, 0);
  return 0;
}
