// The settings dialog's section "输出": the list "同时输出到" with "(无)" and the
// system's other render devices by name, refreshed each time the dialog opens. 确定
// keeps the choice in section 输出 of the settings file; playing on it is the
// sound engine's part.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "audio/device/capture_endpoints.h"
#include "second_output/output_choices.h"
#include "second_output/output_level_sliders.h"
#include "settings/settings_store.h"
#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"

namespace kivora {

inline constexpr std::wstring_view kOutputSectionTitle = L"输出";
inline constexpr std::wstring_view kAlsoPlayOnLabel = L"同时输出到";
inline constexpr std::wstring_view kMicrophoneLabel = L"麦克风混入直播输出";
inline constexpr std::wstring_view kMicrophoneGainLabel = L"增益";
inline constexpr std::wstring_view kMicrophoneMuteLabel = L"麦克风静音";
inline constexpr std::wstring_view kMicrophoneDuckLabel = L"压低麦克风";

class OutputSection final : public SettingsSection {
 public:
  // endpoints: the render devices present now; chosen hears of a choice 确定 kept
  // (its endpoint ID, empty for none), so sounds play there from then on.
  // microphones: the capture devices present now; microphoneChosen hears of the
  // microphone's settings as 确定 kept them.
  OutputSection(SettingsStore& settings, std::vector<audio::RenderEndpoint> endpoints,
                std::function<void(const std::wstring&)> chosen, std::vector<audio::CaptureEndpoint> microphones,
                std::function<void(const MicrophoneSetting&)> microphoneChosen, OutputLevels& levels);

  std::wstring_view Title() const override { return kOutputSectionTitle; }
  void Create(SettingsPane& page) override;
  void Apply() override;

 private:
  SettingsStore& settings_;
  std::function<void(const std::wstring&)> chosen_;
  OutputChoices choices_;
  HWND list_ = nullptr;
  // Returns the bottom of what it made.
  int CreateMicrophoneRows(SettingsPane& page, int top);
  void ApplyMicrophone();

  std::function<void(const MicrophoneSetting&)> microphoneChosen_;
  MicrophoneSetting keptMicrophone_;
  OutputChoices microphones_;
  HWND microphoneList_ = nullptr;
  HWND gainList_ = nullptr;
  HWND muteBox_ = nullptr;
  HWND duckList_ = nullptr;
  OutputLevelSliders levels_;
};

}  // namespace kivora
