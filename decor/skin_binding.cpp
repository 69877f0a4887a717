#include "decor/skin_binding.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "assets/skin.h"
#include "base/memory_module.h"

namespace kivora::decor {
namespace {

// The library's attach export: skin data and its length, a window (null: the
// program's windows on this thread), options and a reserved value, both 0.
using AttachFunction = int (*)(const unsigned char* skin, int skinSize, HWND window, int options, int reserved);

// A loaded library stays mapped until the process ends: the windows it skinned
// call into it for as long as they live.
MemoryModule* KeepLoaded(std::span<const std::uint8_t> image) {
  static auto* kept = new std::vector<std::unique_ptr<MemoryModule>>();
  auto module = MemoryModule::Load(image);
  if (!module) return nullptr;
  kept->push_back(std::move(module));
  return kept->back().get();
}

bool CallAttach(MemoryModule* module, std::span<const std::uint8_t> skinData, HWND window = nullptr) {
  if (!module) return false;
  auto attach = reinterpret_cast<AttachFunction>(module->FindExport("SkinH_AttachRes"));
  if (!attach) return false;
  attach(skinData.data(), static_cast<int>(skinData.size()), window, 0, 0);  // a refused skin changes nothing
  return true;
}

}  // namespace

bool AttachSkin(std::span<const std::uint8_t> libraryImage, std::span<const std::uint8_t> skinData) {
  return CallAttach(KeepLoaded(libraryImage), skinData);
}

bool AttachSkin(std::span<const std::uint8_t> skinData, HWND window) {
  // The built-in library is loaded once, however many windows are decorated.
  static MemoryModule* const builtIn = KeepLoaded(assets::SkinLibraryImage());
  return CallAttach(builtIn, skinData, window);
}

}  // namespace kivora::decor
