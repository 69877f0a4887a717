// The sixty built-in sound buttons: each plays its catalogue entry's file from
// the Data folder, as its button's second-press mode says (cutting off whatever
// played before, unless the user set it otherwise).
#pragma once

#include <functional>
#include <string>

#include "assets/catalogue.h"
#include "audio/engine/player.h"
#include "ui/main_window.h"

namespace kivora {

// The click of entry's button: Data folder + its relative path, pressed at volume. A missing file gives silence and no message.
void PlayBuiltinSound(audio::Player& player, const std::wstring& dataFolder, const CatalogueEntry& entry, int volume);

// Binds every catalogue entry's button to PlayBuiltinSound. dataFolder is read at
// each click (the start-up fills it in after binding), and so is the volume.
void BindBuiltinSoundButtons(ui::MainWindow& window, audio::Player& player, const std::wstring& dataFolder,
                             std::function<int()> currentVolume);

}  // namespace kivora
