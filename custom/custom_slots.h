// The twenty custom buttons on the page "自定义". A slot's caption is its only
// state in memory ("添加音效.." when empty); its file path lives only in the
// settings file, key 按钮N of section 音效, and is read again at every click.
#pragma once

#include <string>

#include "audio/player.h"
#include "custom/file_chooser.h"
#include "ui/main_window.h"
#include "ui/user_prompts.h"

namespace kivora {

class CustomSlots {
 public:
  // dataFolder is read at every use: it is filled in by the start-up sequence.
  CustomSlots(ui::MainWindow& window, audio::Player& player, ui::UserPrompts& prompts, FileChooser& chooser,
              const std::wstring& dataFolder);

  // Binds click, double-click and right press of all twenty slots, and the menu item "清空音效".
  void BindEvents();

  void OnClick(int slot);     // choose a file for an empty slot, play a filled one
  void OnReplace(int slot);   // double-click: pause, then choose a new file
  void OnClear(int slot);     // right press: empty the slot after a question
  void OnClearAll();          // menu item "清空音效"

  // At start-up: every slot whose stored file still exists shows its display name.
  void Restore();

  const FileDialogState& Dialog() const { return dialog_; }

 private:
  bool ChooseSoundFile(bool setFilter);
  void Assign(int slot);
  std::wstring StorablePath(const std::wstring& chosen);
  std::wstring SettingsPath() const;
  ui::Control& Button(int slot) const;

  ui::MainWindow& window_;
  audio::Player& player_;
  ui::UserPrompts& prompts_;
  FileChooser& chooser_;
  const std::wstring& dataFolder_;
  FileDialogState dialog_;  // the shared dialog keeps its properties between uses
};

}  // namespace kivora
