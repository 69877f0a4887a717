// The sixty built-in sound buttons: each plays its catalogue entry's file from
// the Data folder, cutting off whatever played before.
#pragma once

#include <string>

#include "assets/catalogue.h"
#include "audio/player.h"
#include "ui/main_window.h"

namespace kivora::audio {

// The click of entry's button: Data folder + its relative path, opened and
// played at the slider's volume. A missing file gives silence and no message.
void PlayBuiltinSound(const ui::MainWindow& window, Player& player, const std::wstring& dataFolder,
                      const CatalogueEntry& entry);

// Binds every catalogue entry's button to PlayBuiltinSound. dataFolder is read
// at each click, so it may be filled in after binding.
void BindBuiltinSoundButtons(ui::MainWindow& window, Player& player, const std::wstring& dataFolder);

}  // namespace kivora::audio
