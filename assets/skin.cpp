#include "assets/skin.h"

extern "C" const std::uint8_t kivora_skin_library[];
extern "C" const std::uint8_t kivora_skin_library_end[];
extern "C" const std::uint8_t kivora_skin_data[];
extern "C" const std::uint8_t kivora_skin_data_end[];

namespace kivora::assets {

std::span<const std::uint8_t> SkinLibraryImage() { return {kivora_skin_library, kivora_skin_library_end}; }

std::span<const std::uint8_t> SkinData() { return {kivora_skin_data, kivora_skin_data_end}; }

}  // namespace kivora::assets
