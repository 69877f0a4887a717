// The rows of section 输出 that choose the talk key: "播放时按住" with a hotkey field
// and 清除, "提前" and "延后" in ms, and a line that says what the key does or why
// one was refused. 确定 keeps them in section 输出 and hands them on.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "push_to_talk/talk_key_values.h"
#include "settings/settings_store.h"
#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"

namespace kivora {

inline constexpr std::wstring_view kTalkKeyLabel = L"播放时按住";
inline constexpr std::wstring_view kTalkLeadLabel = L"提前";
inline constexpr std::wstring_view kTalkTailLabel = L"延后";

class TalkKeySection final : public SettingsSection {
 public:
  // usedBy: the caption of the hotkey row that has key, if one has (a key Kivora
  // listens to cannot also be one it presses). chosen hears of what 确定 kept.
  TalkKeySection(SettingsStore& settings, std::function<std::optional<std::wstring>(Hotkey)> usedBy,
                 std::function<void(const TalkKeyValues&)> chosen);
  ~TalkKeySection() override;

  std::wstring_view Title() const override { return L"输出"; }
  void Create(SettingsPane& page) override;
  void OnCommand(HWND control, WORD code) override;
  std::optional<COLORREF> TextColour(HWND label) const override;
  void Apply() override;

 private:
  static LRESULT CALLBACK FieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR data) noexcept;
  void OnFieldChanged();
  void ShowKey();
  void SetNote(std::wstring_view text, bool problem);

  SettingsStore& settings_;
  std::function<std::optional<std::wstring>(Hotkey)> usedBy_;
  std::function<void(const TalkKeyValues&)> chosen_;
  TalkKeyValues kept_;
  std::optional<Hotkey> key_;  // what the field holds
  std::vector<int> leadLevels_, tailLevels_;
  HWND field_ = nullptr;
  HWND clear_ = nullptr;
  HWND leadList_ = nullptr;
  HWND tailList_ = nullptr;
  HWND note_ = nullptr;
  bool problem_ = false;
};

}  // namespace kivora
