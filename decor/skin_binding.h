// Hands the main window its skin: the skin library is loaded from memory, once per
// process, and its attach export is called with the skin data.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace kivora::decor {

// Loads `libraryImage` (kept loaded for the rest of the process) and calls its
// SkinH_AttachRes with the skin data. Returns whether the call was made; a library
// that does not load, or has no such export, leaves every window as it was.
bool AttachSkin(std::span<const std::uint8_t> libraryImage, std::span<const std::uint8_t> skinData);

// The same with the library built into the program; window null: every titled
// window the program has made on this thread, otherwise that window alone.
bool AttachSkin(std::span<const std::uint8_t> skinData, HWND window = nullptr);

}  // namespace kivora::decor
