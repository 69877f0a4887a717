// The dialog "Kivora 设置": the sections' titles in a list on the left, the chosen
// section's page beside it, 确定 and 取消 below. Modal to its owner; 确定 applies
// every section, 取消 or Esc leaves everything as it was.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "base/unique_handle.h"
#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"

namespace kivora {

inline constexpr std::wstring_view kSettingsDialogTitle = L"Kivora 设置";

// The system-menu item that opens the dialog, and its command (below 0xF000, a
// multiple of 16: the system uses the low four bits of WM_SYSCOMMAND). Its access
// key is one no item of the system's own uses (还原 R, 移动 M, 大小 S, 最小化 N,
// 最大化 X, 关闭 C).
inline constexpr std::wstring_view kSettingsMenuItem = L"设置(&T)...";
inline constexpr UINT kSettingsCommand = 0x0010;

// Puts "设置..." into window's system menu, right above its close item.
void AddSettingsMenuItem(HWND window);

using SectionList = std::vector<std::unique_ptr<SettingsSection>>;

class SettingsDialog {
 public:
  // dressWindow is given the dialog once its controls exist (the skin goes on there).
  SettingsDialog(SectionList sections, std::function<void(HWND)> dressWindow = {});
  ~SettingsDialog();
  SettingsDialog(const SettingsDialog&) = delete;
  SettingsDialog& operator=(const SettingsDialog&) = delete;

  // Runs the dialog to its end; true when 确定 applied the sections.
  bool Run(HWND owner);

  // 确定 applies the sections inside applyTogether (which calls what it is given
  // once), so that their changes are kept together.
  using ApplyTogether = std::function<void(const std::function<void()>& applySections)>;
  void SetApplyTogether(ApplyTogether applyTogether) { applyTogether_ = std::move(applyTogether); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void OnOk();
  void OnCancel();
  void ShowSection(int index);
  void DrawListItem(const DRAWITEMSTRUCT& item) const;
  void OnDpiChanged(int dpi, const RECT& suggested);

  SectionList sections_;
  std::function<void(HWND)> dressWindow_;
  ApplyTogether applyTogether_;
  std::vector<std::unique_ptr<SettingsPane>> pages_;
  HWND hwnd_ = nullptr;
  HWND list_ = nullptr;
  int shown_ = -1;
  int dpi_ = 96;  // the dialog's, as its last WM_DPICHANGED told
  LOGFONTW face_{};  // the dialog's font as it opened; its height is remade for each DPI
  Font font_;        // the dialog's font remade for a DPI it moved to; null until then
};

}  // namespace kivora
