// The settings dialog's section "声音": every sound in a list (built-in ones by
// caption, custom slots by file name or as empty), and for the chosen one its
// 音量, 再次按下, 淡入, 淡出 and, for a custom sound, 起点 and 终点; 试听 plays it
// as set, on the headphones only. A sound away from its defaults is marked in the
// list; 恢复默认 resets the chosen one, 全部恢复默认 all of them. Nothing is kept
// until 确定. UI thread only.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"
#include "sound_settings/sound_settings.h"

namespace kivora {

inline constexpr std::wstring_view kSoundSectionTitle = L"声音";
inline constexpr std::wstring_view kChangedMark = L"  ●";

// A sound as the list names it, read when the dialog opens.
struct SoundListEntry {
  std::wstring key;
  std::wstring label;   // "群众笑声", "自定义 3：掌声", "自定义 4：(空)"
  bool filled = true;   // a custom slot with a file; built-in sounds always are
};

// Plays a sound once with the shape given, on the headphones alone.
using Audition = std::function<void(const std::wstring& key, const SoundShape& shape)>;

class SoundSettingsSection final : public SettingsSection {
 public:
  // entries: in the order of settings.Sounds(). audition empty: 试听 stays greyed.
  SoundSettingsSection(SoundSettings& settings, std::vector<SoundListEntry> entries, Audition audition);

  std::wstring_view Title() const override { return kSoundSectionTitle; }
  void Create(SettingsPane& page) override;
  void OnCommand(HWND control, WORD code) override;
  void Apply() override;

 private:
  // A number field: an edit box with arrows, its range, and the shape's field it sets.
  struct NumberField {
    HWND edit = nullptr;
    HWND arrows = nullptr;
    int min = 0, max = 0;
    int SoundShape::*value = nullptr;
  };

  void Choose(int index);
  void ShowChosen();
  void FieldChanged(NumberField& field);
  void FieldLeft(NumberField& field);
  // The chosen sound takes shape; showFields: the fields show it (not while typed into).
  void ChangeChosen(const SoundShape& shape, bool showFields = true);
  void RefreshListItem(int index);
  std::wstring ListText(int index) const;
  bool ChosenIsCustom() const;

  SoundSettings& settings_;
  std::vector<SoundListEntry> entries_;
  Audition audition_;
  std::vector<SoundShape> working_;  // what the dialog shows, by entry
  int chosen_ = 0;
  bool showing_ = false;  // fields being filled by the section, not typed into

  HWND list_ = nullptr;
  HWND name_ = nullptr;
  HWND press_ = nullptr;
  HWND pressHint_ = nullptr;
  std::array<NumberField, 5> fields_{};  // 音量, 淡入, 淡出, 起点, 终点
  HWND trimNote_ = nullptr;
  HWND auditionButton_ = nullptr;
  HWND reset_ = nullptr;
  HWND resetAll_ = nullptr;
};

}  // namespace kivora
