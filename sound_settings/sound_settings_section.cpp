#include "sound_settings/sound_settings_section.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

namespace kivora {
namespace {

using audio::SecondPress;

// The page at 96 DPI: the list of sounds on the left, the chosen sound's fields
// on the right, the buttons along the bottom.
constexpr int kListWidth = 180, kListHeight = 290;
constexpr int kBottom = 298, kButtonHeight = 26;
constexpr int kResetAllWidth = 110;
constexpr int kLeft = 196;             // the fields' column
constexpr int kLabelWidth = 70;
constexpr int kFieldLeft = kLeft + kLabelWidth, kFieldWidth = 80;
constexpr int kUnitLeft = kFieldLeft + kFieldWidth + 6;
constexpr int kRowHeight = 24;
constexpr int kArrowsWidth = 16;

constexpr SecondPress kPresses[] = {SecondPress::Restart, SecondPress::Stop, SecondPress::Overlap, SecondPress::Loop};

// What each way of taking a second press does, said under the choice.
constexpr std::wstring_view kPressHints[] = {
    L"从头再放，其他声音都停下",
    L"放着时再按一下，淡出停止",
    L"再放一遍，正在放的不停",
    L"循环播放，再按一下停止",
};

// The number fields, top to bottom.
struct FieldRow {
  const wchar_t* label;
  const wchar_t* unit;
  int top;
  int min, max;
  int SoundShape::*value;
};
constexpr FieldRow kFieldRows[] = {
    {L"音量(&V)", L"dB（-30～+12）", 32, SoundShape::kLevelMin, SoundShape::kLevelMax, &SoundShape::levelDb},
    {L"淡入(&I)", L"毫秒（0～5000）", 120, 0, SoundShape::kFadeMaxMs, &SoundShape::fadeInMs},
    {L"淡出(&O)", L"毫秒（0～5000）", 152, 0, SoundShape::kFadeMaxMs, &SoundShape::fadeOutMs},
    {L"起点(&S)", L"毫秒，跳过开头", 184, 0, SoundShape::kTrimMaxMs, &SoundShape::startMs},
    {L"终点(&E)", L"毫秒，去掉结尾", 216, 0, SoundShape::kTrimMaxMs, &SoundShape::endMs},
};
constexpr size_t kTrimRows = 3;  // from this row on, custom sounds only
constexpr int kPressTop = 64;
constexpr int kNoteTop = 248;

// The arrows step by 10 ms (1 dB) at first and faster while held.
constexpr UDACCEL kMillisecondSteps[] = {{0, 10}, {2, 100}, {4, 500}};
constexpr UDACCEL kLevelSteps[] = {{0, 1}};

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A whole number typed into a field, or nothing while it is not one yet ("", "-").
std::optional<long long> NumberIn(const std::wstring& text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  wchar_t* end = nullptr;
  const long long value = std::wcstoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != L'\0') return std::nullopt;
  return value;
}

}  // namespace

SoundSettingsSection::SoundSettingsSection(SoundSettings& settings, std::vector<SoundListEntry> entries,
                                           Audition audition)
    : settings_(settings), entries_(std::move(entries)), audition_(std::move(audition)) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
  entries_.resize(settings_.Sounds().size());
  for (const SoundListEntry& entry : entries_) working_.push_back(settings_.Of(entry.key));
}

void SoundSettingsSection::Create(SettingsPane& page) {
  const int width = page.Width();
  list_ = page.Add(L"LISTBOX", L"", WS_BORDER | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                   {0, 0, kListWidth, kListHeight});
  for (size_t index = 0; index < entries_.size(); ++index) {
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ListText(static_cast<int>(index)).c_str()));
  }

  name_ = page.Add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_CENTERIMAGE, {kLeft, 0, width, kRowHeight});
  for (size_t row = 0; row < std::size(kFieldRows); ++row) {
    const FieldRow& rowLayout = kFieldRows[row];
    if (row == 1) {
      // 再次按下 sits between 音量 and the fades.
      page.Add(L"STATIC", L"再次按下(&P)", SS_LEFT | SS_CENTERIMAGE, {kLeft, kPressTop, kFieldLeft, kPressTop + kRowHeight});
      press_ = page.Add(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                        {kFieldLeft, kPressTop, kFieldLeft + 150, kPressTop + 160});
      for (SecondPress press : kPresses) {
        SendMessageW(press_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::wstring(SecondPressName(press)).c_str()));
      }
      pressHint_ = page.Add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX,
                            {kFieldLeft, kPressTop + kRowHeight + 4, width, kPressTop + 2 * kRowHeight});
    }
    page.Add(L"STATIC", rowLayout.label, SS_LEFT | SS_CENTERIMAGE, {kLeft, rowLayout.top, kFieldLeft, rowLayout.top + kRowHeight});
    NumberField& field = fields_[row];
    field.min = rowLayout.min;
    field.max = rowLayout.max;
    field.value = rowLayout.value;
    // The arrows sit beside the field at places of their own: aligned to their buddy
    // they would narrow it behind the page's back, and a move to another DPI would
    // place the field at its first width again.
    field.edit = page.Add(L"EDIT", L"", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | ES_RIGHT,
                          {kFieldLeft, rowLayout.top, kFieldLeft + kFieldWidth - kArrowsWidth, rowLayout.top + kRowHeight});
    SendMessageW(field.edit, EM_SETLIMITTEXT, 9, 0);
    field.arrows = page.Add(UPDOWN_CLASSW, L"", UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                            {kFieldLeft + kFieldWidth - kArrowsWidth, rowLayout.top, kFieldLeft + kFieldWidth, rowLayout.top + kRowHeight});
    SendMessageW(field.arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(field.edit), 0);
    SendMessageW(field.arrows, UDM_SETRANGE32, static_cast<WPARAM>(rowLayout.min), static_cast<LPARAM>(rowLayout.max));
    const bool decibels = rowLayout.value == &SoundShape::levelDb;
    SendMessageW(field.arrows, UDM_SETACCEL, decibels ? std::size(kLevelSteps) : std::size(kMillisecondSteps),
                 reinterpret_cast<LPARAM>(decibels ? kLevelSteps : kMillisecondSteps));
    page.Add(L"STATIC", rowLayout.unit, SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, {kUnitLeft, rowLayout.top, width, rowLayout.top + kRowHeight});
  }
  trimNote_ = page.Add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, {kLeft, kNoteTop, width, kNoteTop + 2 * kRowHeight - 4});

  auditionButton_ = page.Add(L"BUTTON", L"试听", WS_TABSTOP | BS_PUSHBUTTON, {kLeft, kBottom, kLeft + 80, kBottom + kButtonHeight});
  reset_ = page.Add(L"BUTTON", L"恢复默认", WS_TABSTOP | BS_PUSHBUTTON,
                    {kLeft + 88, kBottom, kLeft + 88 + 100, kBottom + kButtonHeight});
  resetAll_ = page.Add(L"BUTTON", L"全部恢复默认", WS_TABSTOP | BS_PUSHBUTTON, {0, kBottom, kResetAllWidth, kBottom + kButtonHeight});
  page.Add(L"STATIC", (std::wstring(kChangedMark.substr(2)) + L" 已调整").c_str(), SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX,
           {kResetAllWidth + 8, kBottom, kListWidth, kBottom + kButtonHeight});
  Choose(0);
}

void SoundSettingsSection::OnCommand(HWND control, WORD code) {
  if (control == list_ && code == LBN_SELCHANGE) return Choose(static_cast<int>(SendMessageW(list_, LB_GETCURSEL, 0, 0)));
  if (control == press_ && code == CBN_SELCHANGE) {
    const LRESULT selected = SendMessageW(press_, CB_GETCURSEL, 0, 0);
    if (selected < 0 || selected >= static_cast<LRESULT>(std::size(kPresses))) return;
    SoundShape shape = working_[static_cast<size_t>(chosen_)];
    shape.press = kPresses[selected];
    return ChangeChosen(shape);
  }
  for (NumberField& field : fields_) {
    if (control != field.edit) continue;
    if (code == EN_CHANGE) FieldChanged(field);
    if (code == EN_KILLFOCUS) FieldLeft(field);
    return;
  }
  if (code != BN_CLICKED) return;
  if (control == auditionButton_ && audition_) {
    audition_(entries_[static_cast<size_t>(chosen_)].key, working_[static_cast<size_t>(chosen_)]);
  } else if (control == reset_) {
    ChangeChosen({});
  } else if (control == resetAll_) {
    for (size_t index = 0; index < working_.size(); ++index) {
      if (working_[index].IsDefault()) continue;
      working_[index] = {};
      RefreshListItem(static_cast<int>(index));
    }
    ShowChosen();
  }
}

void SoundSettingsSection::Apply() {
  for (size_t index = 0; index < entries_.size(); ++index) settings_.Set(entries_[index].key, working_[index]);
}

void SoundSettingsSection::Choose(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  chosen_ = index;
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  ShowChosen();
}

// Every field shows the chosen sound as the dialog has it now.
void SoundSettingsSection::ShowChosen() {
  if (entries_.empty()) return;
  const SoundShape& shape = working_[static_cast<size_t>(chosen_)];
  const SoundListEntry& entry = entries_[static_cast<size_t>(chosen_)];
  const bool custom = ChosenIsCustom();
  showing_ = true;
  SetWindowTextW(name_, entry.label.c_str());
  const auto press = static_cast<size_t>(std::find(std::begin(kPresses), std::end(kPresses), shape.press) - std::begin(kPresses));
  SendMessageW(press_, CB_SETCURSEL, press, 0);
  SetWindowTextW(pressHint_, std::wstring(kPressHints[press < std::size(kPressHints) ? press : 0]).c_str());
  for (size_t row = 0; row < fields_.size(); ++row) {
    NumberField& field = fields_[row];
    SendMessageW(field.arrows, UDM_SETPOS32, 0, static_cast<LPARAM>(shape.*field.value));
    const bool usable = row < kTrimRows || custom;
    EnableWindow(field.edit, usable);
    EnableWindow(field.arrows, usable);
  }
  SetWindowTextW(trimNote_, custom ? L"文件本身不会改动，只是播放时跳过开头和结尾的这些部分。"
                                   : L"内置音效总是从头播到尾，不能裁剪。");
  EnableWindow(auditionButton_, audition_ && entry.filled);
  EnableWindow(reset_, !shape.IsDefault());
  showing_ = false;
}

void SoundSettingsSection::FieldChanged(NumberField& field) {
  if (showing_) return;
  const std::optional<long long> typed = NumberIn(TextOf(field.edit));
  if (!typed) return;
  SoundShape shape = working_[static_cast<size_t>(chosen_)];
  shape.*field.value = static_cast<int>(std::clamp<long long>(*typed, field.min, field.max));
  ChangeChosen(shape, false);
}

// Leaving a field shows what it holds: a value out of range as the nearest end,
// text that is no number as the value before it.
void SoundSettingsSection::FieldLeft(NumberField& field) {
  showing_ = true;
  SendMessageW(field.arrows, UDM_SETPOS32, 0, static_cast<LPARAM>(working_[static_cast<size_t>(chosen_)].*field.value));
  showing_ = false;
}

void SoundSettingsSection::ChangeChosen(const SoundShape& shape, bool showFields) {
  const bool wasDefault = working_[static_cast<size_t>(chosen_)].IsDefault();
  working_[static_cast<size_t>(chosen_)] = shape;
  if (wasDefault != shape.IsDefault()) RefreshListItem(chosen_);
  if (showFields) return ShowChosen();
  EnableWindow(reset_, !shape.IsDefault());
}

void SoundSettingsSection::RefreshListItem(int index) {
  const LRESULT top = SendMessageW(list_, LB_GETTOPINDEX, 0, 0);
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  SendMessageW(list_, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(ListText(index).c_str()));
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(chosen_), 0);
  SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

std::wstring SoundSettingsSection::ListText(int index) const {
  const auto at = static_cast<size_t>(index);
  return working_[at].IsDefault() ? entries_[at].label : entries_[at].label + std::wstring(kChangedMark);
}

bool SoundSettingsSection::ChosenIsCustom() const {
  return settings_.Sounds()[static_cast<size_t>(chosen_)].custom;
}

}  // namespace kivora
