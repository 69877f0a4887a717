// What the window decoration costs: the shadow's work on a move and on a resize
// of its owner, and loading the skin library from memory. Prints medians and the
// 95th percentile in milliseconds.
//   decoration_bench.exe [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "assets/skin.h"
#include "base/memory_module.h"
#include "decor/shadow_rings.h"
#include "decor/window_shadow.h"
#include "stopwatch.h"

namespace {

using kivora::bench::Median;
using kivora::bench::NowMs;
using kivora::bench::Quantile;

void Print(const char* what, const std::vector<double>& samples) {
  std::printf("%-34s median %.3f ms   p95 %.3f ms   (%zu runs)\n", what, Median(samples), Quantile(samples, 0.95),
              samples.size());
}

// The shadow's share of one owner move or resize: the owner is changed with the
// shadow's procedure taken out of its chain, then the shadow update it would have
// run is timed alone.
std::vector<double> TimeShadowUpdates(HWND owner, int rounds, bool resize) {
  const auto shadowProcedure = GetWindowLongPtrW(owner, GWLP_WNDPROC);
  const auto ownProcedure = reinterpret_cast<LONG_PTR>(GetPropW(owner, kivora::decor::kShadowProcedureProperty));
  std::vector<double> samples;
  for (int i = 0; i < rounds; ++i) {
    const int step = i % 2;
    SetWindowLongPtrW(owner, GWLP_WNDPROC, ownProcedure);
    if (resize) {
      SetWindowPos(owner, nullptr, 0, 0, 397 + step * 13, 305 + step * 7, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
      SetWindowPos(owner, nullptr, 100 + step * 17, 100 + step * 11, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowLongPtrW(owner, GWLP_WNDPROC, shadowProcedure);
    const double start = NowMs();
    kivora::decor::UpdateWindowShadow(owner);
    samples.push_back(NowMs() - start);
  }
  return samples;
}

// Whole moves of the owner, its own work and the shadow's together.
std::vector<double> TimeMoves(HWND owner, int rounds) {
  std::vector<double> samples;
  for (int i = 0; i < rounds; ++i) {
    const int step = i % 2;
    const double start = NowMs();
    SetWindowPos(owner, nullptr, 100 + step * 17, 100 + step * 11, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    samples.push_back(NowMs() - start);
  }
  return samples;
}

HWND MakeOwner() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"KivoraBenchOwner";
  RegisterClassW(&windowClass);
  HWND owner = CreateWindowExW(0, L"KivoraBenchOwner", L"bench", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                               100, 100, 397, 305, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  return owner;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? _wtoi(argv[1]) : 400;
  HWND owner = MakeOwner();

  const std::vector<double> plainMoves = TimeMoves(owner, rounds);
  kivora::decor::SetWindowShadow(owner, RGB(128, 128, 128), 6);
  const std::vector<double> shadowedMoves = TimeMoves(owner, rounds);
  Print("owner move, no shadow", plainMoves);
  Print("owner move, with shadow", shadowedMoves);
  Print("shadow update on a move", TimeShadowUpdates(owner, rounds, false));
  // The floor under a move: the system's own cost of placing the shadow window.
  std::vector<double> placements;
  HWND shadowWindow = kivora::decor::ShadowWindowOf(owner);
  for (int i = 0; i < rounds; ++i) {
    const double start = NowMs();
    SetWindowPos(shadowWindow, nullptr, 90 + i % 2, 90, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS | SWP_NOSENDCHANGING);
    placements.push_back(NowMs() - start);
  }
  Print("  floor: one SetWindowPos of it", placements);
  Print("shadow update on a resize", TimeShadowUpdates(owner, rounds, true));

  // Parts of a resize: painting the rings, and handing a picture to the system.
  std::vector<double> paints, handovers;
  std::vector<std::uint32_t> pixels(410 * 318);
  HWND shadow = kivora::decor::ShadowWindowOf(owner);
  HDC memory = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 410, 318, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  for (int i = 0; i < rounds; ++i) {
    double start = NowMs();
    kivora::decor::PaintShadowRings(pixels, 410, 318, RGB(128, 128, 128), 6);
    paints.push_back(NowMs() - start);
    POINT place{94 + i % 2, 94}, source{0, 0};
    SIZE extent{410, 318};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    start = NowMs();
    UpdateLayeredWindow(shadow, nullptr, &place, &extent, memory, &source, 0, &blend, ULW_ALPHA);
    handovers.push_back(NowMs() - start);
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  Print("  of which: painting the rings", paints);
  Print("  of which: UpdateLayeredWindow", handovers);

  std::vector<double> loads;
  for (int i = 0; i < 50; ++i) {
    const double start = NowMs();
    auto module = kivora::MemoryModule::Load(kivora::assets::SkinLibraryImage());
    loads.push_back(NowMs() - start);
    if (!module) {
      std::printf("the skin library did not load\n");
      return 1;
    }
  }
  Print("skin library load from memory", loads);
  DestroyWindow(owner);
  return 0;
}
