// The settings dialog and the global hotkeys, wired to the window: the system
// menu's "设置..." with its sections (the hotkeys, the outputs, loudness, each
// sound's shape), one hotkey row per sound button and per playback action, and
// the keys taken back at start-up.
#include <windows.h>

#include <memory>
#include <string>

#include "app/app.h"
#include "assets/catalogue.h"
#include "decor/decorate_window.h"
#include "audio/device/capture_endpoints.h"
#include "audio/device/render_endpoints.h"
#include "hotkeys/hotkey_section.h"
#include "push_to_talk/talk_key_section.h"
#include "push_to_talk/talk_key_values.h"
#include "second_output/output_section.h"
#include "settings_dialog/stacked_section.h"
#include "loudness/loudness_section.h"
#include "remote/remote_section.h"
#include "settings_dialog/settings_dialog.h"
#include "ui/control_names.h"
#include "ui/topmost_lift.h"

namespace kivora {
namespace {

constexpr std::wstring_view kActionsGroup = L"播放控制";
// An empty custom slot's row: "自定义 3 (空)".
std::wstring EmptySlotRow(int slot) { return L"自定义 " + std::to_wstring(slot) + L" (空)"; }
// As the slider's page keys move it.
constexpr int kVolumeStep = 5;
// Where the talk key's rows start on section 输出's page, below the devices' rows.
constexpr int kTalkKeyRowsTop = 280;

}  // namespace

// Each row presses what its button's click runs, through the handler bound to
// that click. An empty custom slot does nothing from a key: its click would open
// the file dialog.
std::vector<HotkeyTarget> App::HotkeyTargets() {
  std::vector<HotkeyTarget> targets;
  auto click = [this](std::wstring_view button) { return [this, button] { ui::FireIfBound(window_[button].Events().clicked); }; };
  for (const CatalogueEntry& entry : Catalogue()) {
    targets.push_back({std::wstring(entry.buttonName), std::wstring(ui::kPageTitles[PageOf(entry)]),
                       [&entry] { return std::wstring(CaptionOf(entry)); }, click(entry.buttonName)});
  }
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    const std::wstring name = ui::CustomSlotName(slot);
    targets.push_back({name, std::wstring(ui::kPageTitles[ui::kCustomPage]),
                       [this, slot] { return slots_.Filled(slot) ? slots_.Caption(slot) : EmptySlotRow(slot); },
                       [this, slot, name] {
                         if (slots_.Filled(slot)) ui::FireIfBound(window_[name].Events().clicked);
                       }});
  }
  const std::wstring actions(kActionsGroup);
  targets.push_back({std::wstring(kPauseHotkeyKey), actions, [] { return std::wstring(L"停止/继续"); }, click(ui::kPauseButton)});
  targets.push_back({std::wstring(kMuteHotkeyKey), actions, [] { return std::wstring(L"静音"); }, click(ui::kMuteButton)});
  targets.push_back({std::wstring(kVolumeUpHotkeyKey), actions, [] { return std::wstring(L"音量+"); },
                     [this] { volumeRow_.OnPageKey(kVolumeStep); }});
  targets.push_back({std::wstring(kVolumeDownHotkeyKey), actions, [] { return std::wstring(L"音量−"); },
                     [this] { volumeRow_.OnPageKey(-kVolumeStep); }});
  targets.push_back({std::wstring(kMicrophoneMuteHotkeyKey), actions, [] { return std::wstring(L"麦克风静音"); },
                     [this] { ToggleMicrophoneMute(); }});
  return targets;
}

// Once the window is up: the menu item, the saved keys, and one box naming every
// key another program took since, shown from the event loop after start-up.
void App::StartHotkeys() {
  AddSettingsMenuItem(window_.Handle());
  ui::WindowEvents& events = window_.Events();
  events.systemCommand = [this](UINT command) {
    if (command != kSettingsCommand) return false;
    OpenSettings();
    return true;
  };
  events.hotkey = [this](int id) { hotkeys_.OnHotkey(id); };
  hotkeys_.SetTargets(HotkeyTargets());
  std::vector<std::wstring> taken = hotkeys_.Restore(window_.Handle(), saved_);
  if (taken.empty()) return;
  std::wstring text = L"以下热键已被其他程序占用，现在不能使用：\n";
  for (const std::wstring& key : taken) text += L"\n" + key;
  text += L"\n\n关闭占用它们的程序后重新启动 Kivora，或在“设置...”中换一个键。";
  window_.Post([this, text] {
    ui::ScopedTopmostLift lift(window_);
    services_.prompts.Show(text, L"热键", MB_OK | MB_ICONWARNING | MB_TASKMODAL);
  });
}

// The microphone's mute flips and is kept, as the check box in section 输出 would.
void App::ToggleMicrophoneMute() {
  if (!services_.secondOutput) return;
  MicrophoneSetting kept = settings_.ReadMicrophone();
  kept.muted = services_.secondOutput->Microphone().Muted() ? L"0" : L"1";
  settings_.WriteMicrophone(kept);
  services_.secondOutput->UseMicrophone(kept);
  remote_.MicrophoneMuteShown(MicrophoneMuted());
}

bool App::MicrophoneMuted() const { return services_.secondOutput && services_.secondOutput->Microphone().Muted(); }

void App::OpenSettings() {
  SectionList sections;
  sections.push_back(std::make_unique<HotkeySection>(hotkeys_, [this](const Hotkey& key) -> std::optional<std::wstring> {
    if (TalkKeyValuesOf(settings_.ReadTalkKey()).key != key) return std::nullopt;
    return std::wstring(kTalkKeyLabel);
  }));
  auto output = std::make_unique<OutputSection>(
      settings_, audio::ActiveRenderEndpoints(),
      [this](const std::wstring& id) { UseBroadcastDevice(id, settings_.ReadSecondOutput().name); },
      audio::ActiveCaptureEndpoints(),
      [this](const MicrophoneSetting& microphone) {
        UseMicrophone(microphone);
        microphoneWatch_.Use(microphone.id, microphone.name);
        remote_.MicrophoneMuteShown(MicrophoneMuted());
      },
      outputLevels_);
  auto talkKey = std::make_unique<TalkKeySection>(
      settings_,
      [this](Hotkey key) -> std::optional<std::wstring> {
        const std::vector<HotkeyBinding>& bindings = hotkeys_.Bindings();
        for (size_t row = 0; row < bindings.size() && row < hotkeys_.Targets().size(); ++row) {
          if (bindings[row].key == key) return hotkeys_.Targets()[row].caption();
        }
        return std::nullopt;
      },
      [this](const TalkKeyValues& values) { pushToTalk_.Use(values); });
  sections.push_back(std::make_unique<StackedSection>(std::move(output), std::move(talkKey), kTalkKeyRowsTop));
  sections.push_back(std::make_unique<LoudnessSection>(loudness_));
  sections.push_back(std::make_unique<SoundSettingsSection>(
      soundShapes_, SoundList(), [this](const std::wstring& key, const SoundShape& shape) {
        const std::wstring path = SoundPath(key);
        if (!path.empty()) player_.Preview(PressOf(shape), path, volumeRow_.Volume());
      }));
  sections.push_back(std::make_unique<remote::RemoteSection>(remote_));
  SettingsDialog dialog(std::move(sections), [this](HWND dialogWindow) {
    if (services_.decorate) decor::SkinWindow(dialogWindow);
  });
  // Every change of one 确定 goes to the settings file in one write.
  dialog.SetApplyTogether([this](const std::function<void()>& applySections) {
    SettingsBatch together(settings_);
    applySections();
  });
  dialog.Run(window_.Handle());
}

}  // namespace kivora
