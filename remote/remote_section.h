// The settings dialog's section "遥控": the control server on or off, its port,
// the address and token a controller needs (a new token, and a copy of it to the
// clipboard), and what the server is doing: running, or why not.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "remote/remote_feature.h"
#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"

namespace kivora::remote {

inline constexpr std::wstring_view kRemoteSectionTitle = L"遥控";
inline constexpr std::wstring_view kRemoteCheckBoxText = L"开启遥控（本机 HTTP 控制服务）";

class RemoteSection final : public SettingsSection {
 public:
  explicit RemoteSection(RemoteFeature& feature);

  std::wstring_view Title() const override { return kRemoteSectionTitle; }
  void Create(SettingsPane& page) override;
  void OnCommand(HWND control, WORD code) override;
  std::optional<COLORREF> TextColour(HWND label) const override;
  bool Validate() override;
  void Apply() override;

 private:
  // The address and the status line as the choices stand now.
  void ShowAddress();
  void ShowStatus(std::wstring text, bool problem);
  std::optional<int> ChosenPort() const;
  bool ChosenOn() const;

  RemoteFeature& feature_;
  std::wstring token_;  // as shown: a new one is kept only at 确定
  HWND enabled_ = nullptr;
  HWND port_ = nullptr;
  HWND address_ = nullptr;
  HWND tokenField_ = nullptr;
  HWND regenerate_ = nullptr;
  HWND copy_ = nullptr;
  HWND status_ = nullptr;
  bool problem_ = false;
};

}  // namespace kivora::remote
