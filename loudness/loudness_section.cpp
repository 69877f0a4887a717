#include "loudness/loudness_section.h"

#include <string>

namespace kivora {
namespace {

constexpr std::wstring_view kExplanation =
    L"自定义音效按内置音效的响度播放：每个文件在添加或第一次播放时测量一次，测好之前按原音量播放。";

}  // namespace

void LoudnessSection::Create(SettingsPane& page) {
  const int width = page.Width() - 24;
  checkBox_ = page.Add(L"BUTTON", std::wstring(kLoudnessCheckBoxText).c_str(), BS_AUTOCHECKBOX | WS_TABSTOP,
                       {12, 12, 12 + width, 36});
  SendMessageW(checkBox_, BM_SETCHECK, matching_.Enabled() ? BST_CHECKED : BST_UNCHECKED, 0);
  page.Add(L"STATIC", std::wstring(kExplanation).c_str(), SS_LEFT, {12, 42, 12 + width, 100});
}

void LoudnessSection::Apply() {
  const bool on = SendMessageW(checkBox_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (on != matching_.Enabled()) matching_.SetEnabled(on);
}

}  // namespace kivora
