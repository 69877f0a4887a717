// The skin library image and the skin data built into the program (see skin.S).
#pragma once

#include <cstdint>
#include <span>

namespace kivora::assets {

// A 64-bit DLL exporting SkinH_AttachRes, loaded from memory.
std::span<const std::uint8_t> SkinLibraryImage();

// The skin the library is handed: ".SHE" data.
std::span<const std::uint8_t> SkinData();

}  // namespace kivora::assets
