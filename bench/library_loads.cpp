// The system libraries Kivora imports, each loaded and timed in a fresh process
// that imports none of them, then the first calls of COM, the common controls,
// GDI+ and MCI (run it a few times: the first run in a session fills caches).
// startup_parts times Kivora's own start-up part by part.
//   library_loads.exe
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>

#include "stopwatch.h"

namespace {

using kivora::bench::NowMs;

// The libraries Kivora.exe imports beyond what every window needs, in the order a loader may take them,
// then the two it loads only when first used (the file dialog's and the banner's), for comparison.
constexpr const wchar_t* kLibraries[] = {L"ole32.dll",   L"shlwapi.dll", L"shell32.dll", L"comctl32.dll",
                                         L"gdiplus.dll", L"msimg32.dll", L"winmm.dll",   L"msacm32.dll",
                                         L"comdlg32.dll", L"wininet.dll"};

struct GdiplusInput {
  UINT32 version = 1;
  void* debugCallback = nullptr;
  BOOL suppressBackgroundThread = FALSE;
  BOOL suppressExternalCodecs = FALSE;
};

}  // namespace

int wmain() {
  double total = 0;
  for (const wchar_t* library : kLibraries) {
    const double start = NowMs();
    LoadLibraryW(library);
    const double took = NowMs() - start;
    total += took;
    std::printf("load %-14ls %7.1f ms\n", library, took);
  }
  std::printf("all of them        %7.1f ms\n", total);

  double start = NowMs();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::printf("COM apartment     %7.1f ms\n", NowMs() - start);

  start = NowMs();
  using InitControls = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initControls = reinterpret_cast<InitControls>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  if (initControls) initControls(&controls);
  std::printf("common controls   %7.1f ms\n", NowMs() - start);

  start = NowMs();
  using Startup = int(WINAPI*)(ULONG_PTR*, const GdiplusInput*, void*);
  const auto startup = reinterpret_cast<Startup>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"gdiplus.dll"), "GdiplusStartup")));
  ULONG_PTR token = 0;
  GdiplusInput input;
  if (startup) startup(&token, &input, nullptr);
  std::printf("GDI+ start        %7.1f ms\n", NowMs() - start);

  start = NowMs();
  using SendString = DWORD(WINAPI*)(const wchar_t*, wchar_t*, UINT, HWND);
  const auto send = reinterpret_cast<SendString>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"winmm.dll"), "mciSendStringW")));
  if (send) send(L"sysinfo all quantity", nullptr, 0, nullptr);
  std::printf("MCI first command %7.1f ms\n", NowMs() - start);
  return 0;
}
