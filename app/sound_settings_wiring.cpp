// The sounds the section 声音 shapes: the sixty built-in buttons page by page,
// then the twenty custom slots, each by its button's layout name.
#include <string>

#include "app/app.h"
#include "assets/catalogue.h"
#include "ui/control_names.h"

namespace kivora {

std::vector<ShapedSound> App::ShapedSounds() const {
  std::vector<ShapedSound> sounds;
  for (const CatalogueEntry& entry : Catalogue()) sounds.push_back({std::wstring(entry.buttonName), false});
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) sounds.push_back({ui::CustomSlotName(slot), true});
  return sounds;
}

// Built-in sounds by caption; a custom slot by its number and file name, or "(空)".
std::vector<SoundListEntry> App::SoundList() const {
  std::vector<SoundListEntry> entries;
  for (const CatalogueEntry& entry : Catalogue()) {
    entries.push_back({std::wstring(entry.buttonName), std::wstring(CaptionOf(entry)), true});
  }
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    const bool filled = slots_.Filled(slot);
    const std::wstring name = filled ? slots_.Caption(slot) : std::wstring(L"(空)");
    entries.push_back({ui::CustomSlotName(slot), L"自定义 " + std::to_wstring(slot) + L"：" + name, filled});
  }
  return entries;
}

std::wstring App::SoundPath(const std::wstring& key) const {
  for (const CatalogueEntry& entry : Catalogue()) {
    if (entry.buttonName == key) return shell_.dataFolder + std::wstring(entry.relativePath);
  }
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    if (ui::CustomSlotName(slot) == key) return slots_.Filled(slot) ? slots_.Path(slot) : std::wstring();
  }
  return {};
}

}  // namespace kivora
