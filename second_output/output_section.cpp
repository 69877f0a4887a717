#include "second_output/output_section.h"

#include <cmath>
#include <iterator>

#include "audio/engine/microphone_source.h"
#include "second_output/microphone_values.h"

namespace kivora {
namespace {

constexpr int kLineHeight = 22;
constexpr int kListWidth = 300;
constexpr int kDropHeight = 220;
constexpr int kGainWidth = 90;
// The ducking levels offered: 0 is off, the default.
constexpr int kDuckLevels[] = {0, 6, 10, 15, 20};

std::wstring DbLabel(int db) { return (db > 0 ? L"+" : L"") + std::to_wstring(db) + L" dB"; }

}  // namespace

OutputSection::OutputSection(SettingsStore& settings, std::vector<audio::RenderEndpoint> endpoints,
                             std::function<void(const std::wstring&)> chosen, std::vector<audio::CaptureEndpoint> microphones,
                             std::function<void(const MicrophoneSetting&)> microphoneChosen, OutputLevels& levels)
    : settings_(settings), chosen_(std::move(chosen)), microphoneChosen_(std::move(microphoneChosen)), levels_(levels) {
  const SecondOutputSetting kept = settings_.ReadSecondOutput();
  choices_ = SecondOutputChoices(endpoints, kept.id, kept.name);
  keptMicrophone_ = settings_.ReadMicrophone();
  // The capture list takes the same rules as the output list: "(无)", every
  // device by name, and a kept one that is missing by its kept name.
  std::vector<audio::RenderEndpoint> inputs;
  for (audio::CaptureEndpoint& microphone : microphones) inputs.push_back({std::move(microphone.id), std::move(microphone.name), false});
  microphones_ = SecondOutputChoices(inputs, keptMicrophone_.id, keptMicrophone_.name);
}

void OutputSection::Create(SettingsPane& page) {
  page.Add(L"STATIC", std::wstring(kAlsoPlayOnLabel).c_str(), SS_LEFT, {0, 4, kListWidth, 4 + kLineHeight});
  list_ = page.Add(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                   {0, 4 + kLineHeight, kListWidth, 4 + kLineHeight + kDropHeight});
  for (const OutputChoice& entry : choices_.entries) {
    SendMessageW(list_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.label.c_str()));
  }
  SendMessageW(list_, CB_SETCURSEL, choices_.chosen, 0);
  page.Add(L"STATIC",
           L"每个声音同时在默认设备和这里选的设备上播放；直播软件请选虚拟声卡的输入端。",
           SS_LEFT, {0, 4 + 3 * kLineHeight, page.Width(), 4 + 4 * kLineHeight});
  const int below = CreateMicrophoneRows(page, 4 + 4 * kLineHeight + 4);
  levels_.Create(page, below + 4);
}

int OutputSection::CreateMicrophoneRows(SettingsPane& page, int top) {
  const MicrophoneValues values = MicrophoneValuesOf(keptMicrophone_);
  page.Add(L"STATIC", std::wstring(kMicrophoneLabel).c_str(), SS_LEFT, {0, top, kListWidth, top + kLineHeight});
  microphoneList_ = page.Add(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                             {0, top + kLineHeight, kListWidth, top + kLineHeight + kDropHeight});
  for (const OutputChoice& entry : microphones_.entries) {
    SendMessageW(microphoneList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.label.c_str()));
  }
  SendMessageW(microphoneList_, CB_SETCURSEL, microphones_.chosen, 0);

  const int gainTop = top + 2 * kLineHeight + 10;
  page.Add(L"STATIC", std::wstring(kMicrophoneGainLabel).c_str(), SS_LEFT, {0, gainTop + 3, 40, gainTop + kLineHeight});
  gainList_ = page.Add(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                       {44, gainTop, 44 + kGainWidth, gainTop + kDropHeight});
  for (int db = static_cast<int>(audio::MicrophoneSource::kMinGainDb); db <= static_cast<int>(audio::MicrophoneSource::kMaxGainDb); ++db) {
    SendMessageW(gainList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DbLabel(db).c_str()));
  }
  SendMessageW(gainList_, CB_SETCURSEL, static_cast<WPARAM>(std::lround(values.gainDb) - audio::MicrophoneSource::kMinGainDb), 0);
  muteBox_ = page.Add(L"BUTTON", std::wstring(kMicrophoneMuteLabel).c_str(), WS_TABSTOP | BS_AUTOCHECKBOX,
                      {44 + kGainWidth + 16, gainTop, kListWidth, gainTop + kLineHeight});
  SendMessageW(muteBox_, BM_SETCHECK, values.muted ? BST_CHECKED : BST_UNCHECKED, 0);

  const int duckTop = gainTop + kLineHeight + 8;
  page.Add(L"STATIC", std::wstring(kMicrophoneDuckLabel).c_str(), SS_LEFT, {0, duckTop + 3, 100, duckTop + kLineHeight});
  duckList_ = page.Add(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                       {104, duckTop, 104 + kGainWidth, duckTop + kDropHeight});
  size_t duckChosen = 0;
  for (size_t i = 0; i < std::size(kDuckLevels); ++i) {
    const std::wstring label = kDuckLevels[i] == 0 ? std::wstring(L"关") : L"-" + std::to_wstring(kDuckLevels[i]) + L" dB";
    SendMessageW(duckList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
    if (std::lround(values.duckDb) == kDuckLevels[i]) duckChosen = i;
  }
  SendMessageW(duckList_, CB_SETCURSEL, duckChosen, 0);
  page.Add(L"STATIC", L"你的声音只进直播输出，耳机里没有回声。压低：播放声音时降低麦克风。",
           SS_LEFT, {0, duckTop + kLineHeight + 6, page.Width(), duckTop + 2 * kLineHeight + 6});
  return duckTop + 2 * kLineHeight + 6;
}

void OutputSection::Apply() {
  levels_.Apply();
  ApplyMicrophone();
  const LRESULT selected = SendMessageW(list_, CB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<size_t>(selected) == choices_.chosen) return;
  const OutputChoice& chosen = choices_.entries[static_cast<size_t>(selected)];
  settings_.WriteSecondOutput({chosen.id, chosen.name});
  if (chosen_) chosen_(chosen.id);
}

void OutputSection::ApplyMicrophone() {
  MicrophoneSetting setting = keptMicrophone_;
  const LRESULT device = SendMessageW(microphoneList_, CB_GETCURSEL, 0, 0);
  if (device >= 0) {
    setting.id = microphones_.entries[static_cast<size_t>(device)].id;
    setting.name = microphones_.entries[static_cast<size_t>(device)].name;
  }
  const LRESULT gain = SendMessageW(gainList_, CB_GETCURSEL, 0, 0);
  if (gain >= 0) setting.gainDb = GainText(static_cast<double>(gain) + audio::MicrophoneSource::kMinGainDb);
  setting.muted = SendMessageW(muteBox_, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0";
  const LRESULT duck = SendMessageW(duckList_, CB_GETCURSEL, 0, 0);
  if (duck >= 0) setting.duckDb = std::to_wstring(kDuckLevels[static_cast<size_t>(duck)]);
  // Values the file never held and the dialog shows as their defaults stay unwritten.
  const MicrophoneValues before = MicrophoneValuesOf(keptMicrophone_);
  const MicrophoneValues after = MicrophoneValuesOf(setting);
  if (setting.id == keptMicrophone_.id && before.gainDb == after.gainDb && before.muted == after.muted &&
      before.duckDb == after.duckDb) {
    return;
  }
  settings_.WriteMicrophone(setting);
  keptMicrophone_ = setting;
  if (microphoneChosen_) microphoneChosen_(setting);
}

}  // namespace kivora
