#include "builtin/builtin_sounds.h"

namespace kivora {

void PlayBuiltinSound(audio::Player& player, const std::wstring& dataFolder, const CatalogueEntry& entry, int volume) {
  player.Press(std::wstring(entry.buttonName), dataFolder + std::wstring(entry.relativePath), volume);
}

void BindBuiltinSoundButtons(ui::MainWindow& window, audio::Player& player, const std::wstring& dataFolder,
                             std::function<int()> currentVolume) {
  for (const CatalogueEntry& entry : Catalogue()) {
    window[entry.buttonName].Events().clicked = [&player, &dataFolder, &entry, currentVolume] {
      PlayBuiltinSound(player, dataFolder, entry, currentVolume());
    };
  }
}

}  // namespace kivora
