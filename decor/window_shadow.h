// A soft drop shadow for a top-level window: a click-through layered window a few
// pixels larger on every side, kept in place by a window procedure chained in front
// of the owner's. All state lives in named window properties, so any top-level
// window can carry one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>

namespace kivora::decor {

inline constexpr wchar_t kShadowWindowProperty[] = L"Durov.WndShadow";
inline constexpr wchar_t kShadowProcedureProperty[] = L"Durov.WndShadow.Proc";
inline constexpr wchar_t kShadowColorProperty[] = L"Durov.WndShadow.Color";
inline constexpr wchar_t kShadowSizeProperty[] = L"Durov.WndShadow.Size";
inline constexpr int kDefaultShadowSize = 5;

// Gives `owner` a shadow of this colour (0x00BBGGRR) and band width, or changes the
// ones it has. The width is at 96 DPI: the band is drawn scaled to the owner's DPI,
// and follows it when WM_DPICHANGED comes. A size below 1 removes the shadow. Returns whether a shadow is set.
bool SetWindowShadow(HWND owner, COLORREF color, int size = kDefaultShadowSize);

// Destroys the shadow window and takes the shadow's procedure out of the chain.
void RemoveWindowShadow(HWND owner);

// The owner's live shadow window, or null.
HWND ShadowWindowOf(HWND owner);

// Moves, sizes, shows or hides the shadow to match the owner. Without `visible`,
// the owner's visibility is asked of the system.
void UpdateWindowShadow(HWND owner, std::optional<bool> visible = std::nullopt);

// The picture the shadow window shows now (BGRA, premultiplied, rows of its width),
// for inspection; empty before the first render.
struct ShadowPicture {
  std::span<const std::uint32_t> pixels;
  int width = 0;
  int height = 0;
};
ShadowPicture RenderedShadowPicture(HWND shadowWindow);

}  // namespace kivora::decor
