#include "second_output/output_section.h"

namespace kivora {
namespace {

constexpr int kLineHeight = 22;
constexpr int kListWidth = 300;
constexpr int kDropHeight = 220;

}  // namespace

OutputSection::OutputSection(SettingsStore& settings, std::vector<audio::RenderEndpoint> endpoints,
                             std::function<void(const std::wstring&)> chosen, OutputLevels& levels)
    : settings_(settings), chosen_(std::move(chosen)), levels_(levels) {
  const SecondOutputSetting kept = settings_.ReadSecondOutput();
  choices_ = SecondOutputChoices(endpoints, kept.id, kept.name);
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
           L"每个声音同时在默认设备和这里选中的设备上播放。要让直播软件收到声音，选虚拟声卡的输入端；"
           L"耳机里照样能听到。",
           SS_LEFT, {0, 4 + 3 * kLineHeight, page.Width(), 4 + 7 * kLineHeight});
  levels_.Create(page, 4 + 7 * kLineHeight + 4);
}

void OutputSection::Apply() {
  levels_.Apply();
  const LRESULT selected = SendMessageW(list_, CB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<size_t>(selected) == choices_.chosen) return;
  const OutputChoice& chosen = choices_.entries[static_cast<size_t>(selected)];
  settings_.WriteSecondOutput({chosen.id, chosen.name});
  if (chosen_) chosen_(chosen.id);
}

}  // namespace kivora
