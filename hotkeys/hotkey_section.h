// The settings dialog's section "热键": every row under its group, each with the
// system's hotkey field, a 清除 button and a line that says what is wrong with the
// key, if anything; 全部清除 below. While it is open the program's keys are let go,
// so that pressing one types it into a field.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hotkeys/hotkeys.h"
#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"

namespace kivora {

inline constexpr std::wstring_view kHotkeySectionTitle = L"热键";
inline constexpr std::wstring_view kTakenText = L"已被其他程序占用";

class HotkeySection final : public SettingsSection {
 public:
  explicit HotkeySection(Hotkeys& hotkeys);
  ~HotkeySection() override;

  std::wstring_view Title() const override { return kHotkeySectionTitle; }
  void Create(SettingsPane& page) override;
  void OnCommand(HWND control, WORD code) override;
  std::optional<COLORREF> TextColour(HWND label) const override;
  void Apply() override;
  void Cancel() override;

 private:
  struct Row {
    HWND field = nullptr;
    HWND clear = nullptr;
    HWND status = nullptr;
    std::optional<Hotkey> key;  // what the field holds now
    bool problem = false;       // the status line is a warning (red)
    bool winHeld = false;       // Win was down when the field took its key
  };

  static LRESULT CALLBACK FieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR data) noexcept;
  void OnFieldChanged(size_t row);
  void Refuse(size_t row, std::wstring_view reason);
  void Show(size_t row, std::optional<Hotkey> key, std::wstring_view status, bool problem);
  void ClearRow(size_t row);
  void SetNote(std::wstring_view text);
  size_t RowOf(HWND control) const;

  Hotkeys& hotkeys_;
  std::unique_ptr<SettingsPane> list_;
  std::vector<Row> rows_;
  HWND note_ = nullptr;
  HWND clearAll_ = nullptr;
  bool settled_ = false;  // applied or cancelled; otherwise the keys are taken back on the way out
};

}  // namespace kivora
