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

struct LoadedLibrary {
  const std::uint8_t* image;
  std::unique_ptr<MemoryModule> module;  // null when the image did not load
};

// A library is loaded once and stays mapped until the process ends: the windows it
// skinned call into it for as long as they live.
MemoryModule* LoadOnce(std::span<const std::uint8_t> image) {
  static auto* loaded = new std::vector<LoadedLibrary>();
  for (const LoadedLibrary& library : *loaded) {
    if (library.image == image.data()) return library.module.get();
  }
  loaded->push_back({image.data(), MemoryModule::Load(image)});
  return loaded->back().module.get();
}

}  // namespace

bool AttachSkin(std::span<const std::uint8_t> libraryImage, std::span<const std::uint8_t> skinData) {
  MemoryModule* module = LoadOnce(libraryImage);
  if (!module) return false;
  auto attach = reinterpret_cast<AttachFunction>(module->FindExport("SkinH_AttachRes"));
  if (!attach) return false;
  attach(skinData.data(), static_cast<int>(skinData.size()), nullptr, 0, 0);  // a refused skin changes nothing
  return true;
}

bool AttachSkin(std::span<const std::uint8_t> skinData) { return AttachSkin(assets::SkinLibraryImage(), skinData); }

}  // namespace kivora::decor
