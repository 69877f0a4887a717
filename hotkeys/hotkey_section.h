// The settings dialog's section "热键": every row under its group, each with the
// system's hotkey field, a 清除 button and a line that says what is wrong with the
// key, if anything; 全部清除 below. While it is open the program's keys are let go,
// so that pressing one types it into a field.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "hotkeys/hotkeys.h"
#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"

namespace kivora {

inline constexpr std::wstring_view kHotkeySectionTitle = L"热键";
inline constexpr std::wstring_view kTakenText = L"已被其他程序占用";

class HotkeySection final : public SettingsSection {
 public:
  // heldFor: what else of Kivora's a key is kept for (the talk key it holds while
  // a sound plays), by that setting's name; such a key is refused as a hotkey.
  explicit HotkeySection(Hotkeys& hotkeys,
                         std::function<std::optional<std::wstring>(const Hotkey&)> heldFor = {});
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
    std::optional<Hotkey> kept;  // the row's key when the dialog opened
    std::optional<Hotkey> key;   // what the field holds now
    bool taken = false;          // another program holds key: 确定 keeps the row's key as it was
    bool problem = false;        // the status line is a warning (red)
    bool winHeld = false;        // Win was down when the field took its key
  };

  static LRESULT CALLBACK FieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR data) noexcept;
  static LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
  bool OnFieldKeyDown(HWND field, WPARAM key);
  void OnKeyPressedAnywhere(DWORD key);
  void OnFieldChanged(size_t row);
  void Refuse(size_t row, std::wstring_view reason);
  void ShowField(size_t row);
  void Show(size_t row, std::optional<Hotkey> key, std::wstring_view status, bool problem, bool taken = false);
  void ClearRow(size_t row);
  void SetNote(std::wstring_view text);
  size_t RowOf(HWND control) const;
  std::wstring FieldText(HWND field) const;
  void PaintField(HWND field, HDC dc) const;

  Hotkeys& hotkeys_;
  std::function<std::optional<std::wstring>(const Hotkey&)> heldFor_;
  std::unique_ptr<SettingsPane> list_;
  std::vector<Row> rows_;
  HWND note_ = nullptr;
  HWND clearAll_ = nullptr;
  // Sees a key another program holds, which never reaches the field: the system
  // hands it to that program first.
  Hook keyboardHook_;
  bool settled_ = false;  // applied or cancelled; otherwise the keys are taken back on the way out
};

}  // namespace kivora
