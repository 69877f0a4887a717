#include "audio/builtin_sounds.h"

#include "audio/sound_button.h"

namespace kivora::audio {

void PlayBuiltinSound(const ui::MainWindow& window, Player& player, const std::wstring& dataFolder,
                      const CatalogueEntry& entry) {
  OpenAndPlay(window, player, dataFolder + std::wstring(entry.relativePath));
}

void BindBuiltinSoundButtons(ui::MainWindow& window, Player& player, const std::wstring& dataFolder) {
  for (const CatalogueEntry& entry : Catalogue()) {
    window[entry.buttonName].Events().clicked = [&window, &player, &dataFolder, &entry] {
      PlayBuiltinSound(window, player, dataFolder, entry);
    };
  }
}

}  // namespace kivora::audio
