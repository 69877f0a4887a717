// The twenty custom buttons on the page "自定义". Each slot holds the path it
// plays and the name it shows ("添加音效.." while empty); the settings file, key
// 按钮N of section 音效, keeps the path across starts.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "audio/engine/player.h"
#include "custom/file_chooser.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"
#include "ui/user_prompts.h"

namespace kivora {

// The last file picked in a slot's dialog and its display name; the shell owns them.
struct PickedFile {
  std::wstring& path;
  std::wstring& name;
};

class CustomSlots {
 public:
  CustomSlots(ui::MainWindow& window, audio::Player& player, ui::UserPrompts& prompts, FileChooser& chooser,
              SettingsStore& settings, PickedFile picked, std::function<int()> currentVolume);

  // Binds click, double-click and right press of all twenty slots, and the menu item "清空音效".
  void BindEvents();

  void OnClick(int slot);     // choose a file for an empty slot, play a filled one
  void OnReplace(int slot);   // double-click: pause, then choose a new file
  void OnClear(int slot);     // right press: empty the slot after a question
  void OnClearAll();          // menu item "清空音效"

  // Files dropped on the custom page. One sound file on a slot's button is taken
  // as if it had been chosen in that slot's dialog. Otherwise the files fill the
  // empty slots in order from slotUnderPointer (0: from slot 1), and one message
  // tells how many were added, how many did not fit and how many were skipped.
  void OnDrop(const std::vector<std::wstring>& files, int slotUnderPointer);

  // Told when a slot gets a file or is emptied (empty path), and just before a filled slot plays.
  struct Watchers {
    std::function<void(int slot, const std::wstring& path)> changed;
    std::function<void(int slot)> playing;
  };
  void Watch(Watchers watchers) { watchers_ = std::move(watchers); }

  // At start-up, from the saved paths: every slot whose file still exists shows its display name.
  void Restore(const std::array<std::wstring, kSoundSlotCount>& savedPaths);

  const FileDialogState& Dialog() const { return dialog_; }

  // Slot n (1..20): whether it holds a sound, and the name its button shows.
  bool Filled(int slot) const { return slots_[static_cast<size_t>(slot - 1)].Filled(); }
  const std::wstring& Caption(int slot) const { return slots_[static_cast<size_t>(slot - 1)].caption; }
  // The file slot n plays, as the settings file keeps it.
  const std::wstring& Path(int slot) const { return slots_[static_cast<size_t>(slot - 1)].path; }

 private:
  struct Slot {
    std::wstring path;     // as stored in the settings file (an 8.3 path where GBK needs it)
    std::wstring caption;  // the name the button shows
    // A slot showing the empty caption counts as empty, whatever it holds.
    bool Filled() const;
  };

  bool ChooseSoundFile(bool setFilter);
  void Assign(int slot);
  void Changed(int slot);
  void Show(int slot, Slot content);
  Slot& At(int slot) { return slots_[static_cast<size_t>(slot - 1)]; }

  ui::MainWindow& window_;
  audio::Player& player_;
  ui::UserPrompts& prompts_;
  FileChooser& chooser_;
  SettingsStore& settings_;
  PickedFile picked_;
  std::function<int()> currentVolume_;
  std::array<Slot, kSoundSlotCount> slots_;
  FileDialogState dialog_;  // the shared dialog keeps its properties between uses
  Watchers watchers_;
};

}  // namespace kivora
