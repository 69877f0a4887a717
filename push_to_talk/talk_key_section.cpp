#include "push_to_talk/talk_key_section.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

#include "base/window_procedure_guard.h"
#include "hotkeys/hotkey_field.h"

namespace kivora {
namespace {

constexpr COLORREF kWarningColour = RGB(210, 0, 0);
constexpr UINT_PTR kFieldSubclassId = 1;
constexpr int kRowTop = 2, kRowHeight = 24, kDropHeight = 220;
constexpr int kLabelWidth = 66;
constexpr int kFieldLeft = 68, kFieldWidth = 140;
constexpr int kClearLeft = 212, kClearWidth = 44;
constexpr int kLeadLabelLeft = 268, kTimeLabelWidth = 28;
constexpr int kLeadListLeft = 298, kListWidth = 80;
constexpr int kTailLabelLeft = 390;
constexpr int kTailListLeft = 420;
constexpr int kNoteTop = 30;
// The times offered; a kept time between them is offered too.
constexpr std::array kLeadLevels{0, 50, 100, 150, 200, 300, 500};
constexpr std::array kTailLevels{0, 100, 200, 300, 500, 750, 1000, 1500, 2000};
constexpr wchar_t kHint[] = L"播放声音时替你按住语音软件的说话键：提前按下，声音结束后延后松开。";

template <size_t N>
std::vector<int> LevelsWith(const std::array<int, N>& levels, int kept) {
  std::vector<int> offered(levels.begin(), levels.end());
  if (std::find(offered.begin(), offered.end(), kept) == offered.end()) {
    offered.insert(std::upper_bound(offered.begin(), offered.end(), kept), kept);
  }
  return offered;
}

HWND AddTimeList(SettingsPane& page, int left, const std::vector<int>& levels, int kept) {
  HWND list = page.Add(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                       {left, kRowTop, left + kListWidth, kRowTop + kDropHeight});
  for (size_t i = 0; i < levels.size(); ++i) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>((std::to_wstring(levels[i]) + L" ms").c_str()));
    if (levels[i] == kept) SendMessageW(list, CB_SETCURSEL, i, 0);
  }
  return list;
}

int ChosenLevel(HWND list, const std::vector<int>& levels, int fallback) {
  const LRESULT chosen = SendMessageW(list, CB_GETCURSEL, 0, 0);
  return chosen >= 0 && static_cast<size_t>(chosen) < levels.size() ? levels[static_cast<size_t>(chosen)] : fallback;
}

}  // namespace

TalkKeySection::TalkKeySection(SettingsStore& settings, std::function<std::optional<std::wstring>(Hotkey)> usedBy,
                               std::function<void(const TalkKeyValues&)> chosen)
    : settings_(settings), usedBy_(std::move(usedBy)), chosen_(std::move(chosen)) {
  kept_ = TalkKeyValuesOf(settings_.ReadTalkKey());
  key_ = kept_.key;
  leadLevels_ = LevelsWith(kLeadLevels, kept_.timing.leadMs);
  tailLevels_ = LevelsWith(kTailLevels, kept_.timing.tailMs);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_HOTKEY_CLASS};
  InitCommonControlsEx(&controls);
}

TalkKeySection::~TalkKeySection() {
  if (field_) RemoveWindowSubclass(field_, FieldProc, kFieldSubclassId);
}

void TalkKeySection::Create(SettingsPane& page) {
  page.Add(L"STATIC", std::wstring(kTalkKeyLabel).c_str(), SS_LEFT | SS_CENTERIMAGE,
           {0, kRowTop, kLabelWidth, kRowTop + kRowHeight});
  field_ = page.Add(HOTKEY_CLASSW, L"", WS_TABSTOP, {kFieldLeft, kRowTop, kFieldLeft + kFieldWidth, kRowTop + kRowHeight});
  FlattenHotkeyField(field_);
  SetWindowSubclass(field_, FieldProc, kFieldSubclassId, reinterpret_cast<DWORD_PTR>(this));
  clear_ = page.Add(L"BUTTON", L"清除", WS_TABSTOP | BS_PUSHBUTTON,
                    {kClearLeft, kRowTop, kClearLeft + kClearWidth, kRowTop + kRowHeight});
  page.Add(L"STATIC", std::wstring(kTalkLeadLabel).c_str(), SS_LEFT | SS_CENTERIMAGE,
           {kLeadLabelLeft, kRowTop, kLeadLabelLeft + kTimeLabelWidth, kRowTop + kRowHeight});
  leadList_ = AddTimeList(page, kLeadListLeft, leadLevels_, kept_.timing.leadMs);
  page.Add(L"STATIC", std::wstring(kTalkTailLabel).c_str(), SS_LEFT | SS_CENTERIMAGE,
           {kTailLabelLeft, kRowTop, kTailLabelLeft + kTimeLabelWidth, kRowTop + kRowHeight});
  tailList_ = AddTimeList(page, kTailListLeft, tailLevels_, kept_.timing.tailMs);
  note_ = page.Add(L"STATIC", kHint, SS_LEFT | SS_NOPREFIX, {0, kNoteTop, page.Width(), page.Height()});
  ShowKey();
}

LRESULT CALLBACK TalkKeySection::FieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data) noexcept {
  auto* self = reinterpret_cast<TalkKeySection*>(data);
  return GuardWindowProcedure(
      [&]() -> LRESULT {
        switch (message) {
          case WM_SETFOCUS:
          case WM_KILLFOCUS: {
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return result;
          }
          case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(hwnd, &paint);
            const auto value = static_cast<WORD>(SendMessageW(hwnd, HKM_GETHOTKEY, 0, 0));
            const std::optional<Hotkey> shown = HotkeyOfField(value, false);
            PaintHotkeyField(hwnd, dc, shown ? DisplayHotkey(*shown) : std::wstring(kNoKeyText));
            EndPaint(hwnd, &paint);
            return 0;
          }
          case WM_KEYUP:
          case WM_SYSKEYUP: {
            // A key let go with none taken (a modifier alone): the field shows the key it had.
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            if (LOBYTE(SendMessageW(hwnd, HKM_GETHOTKEY, 0, 0)) == 0) self->ShowKey();
            return result;
          }
          default: break;
        }
        return DefSubclassProc(hwnd, message, wParam, lParam);
      },
      [&] { return DefSubclassProc(hwnd, message, wParam, lParam); });
}

void TalkKeySection::OnCommand(HWND control, WORD code) {
  if (control == clear_) {
    key_.reset();
    ShowKey();
    SetNote(kHint, false);
  } else if (control == field_ && code == EN_CHANGE) {
    OnFieldChanged();
  }
}

// A key just typed: taken, or refused with the reason while the field keeps its key.
void TalkKeySection::OnFieldChanged() {
  const auto value = static_cast<WORD>(SendMessageW(field_, HKM_GETHOTKEY, 0, 0));
  const std::optional<Hotkey> typed = HotkeyOfField(value, false);
  if (!typed || typed == key_) return;
  if (FormatHotkey(*typed).empty()) {
    ShowKey();
    return SetNote(L"这个键不能按住", true);
  }
  if (const std::optional<std::wstring> row = usedBy_ ? usedBy_(*typed) : std::nullopt) {
    ShowKey();
    return SetNote(FormatHotkey(*typed) + L" 已是「" + *row + L"」的热键：Kivora 按下它就会触发自己", true);
  }
  key_ = typed;
  SetNote(kHint, false);
}

void TalkKeySection::ShowKey() {
  SendMessageW(field_, HKM_SETHOTKEY, key_ ? FieldValueOf(*key_) : 0, 0);
  InvalidateRect(field_, nullptr, TRUE);
}

void TalkKeySection::SetNote(std::wstring_view text, bool problem) {
  problem_ = problem;
  SetWindowTextW(note_, std::wstring(text).c_str());
  InvalidateRect(note_, nullptr, TRUE);
}

std::optional<COLORREF> TalkKeySection::TextColour(HWND label) const {
  if (label == note_ && problem_) return kWarningColour;
  return std::nullopt;
}

void TalkKeySection::Apply() {
  TalkKeyValues chosen;
  chosen.key = key_;
  chosen.timing.leadMs = ChosenLevel(leadList_, leadLevels_, kept_.timing.leadMs);
  chosen.timing.tailMs = ChosenLevel(tailList_, tailLevels_, kept_.timing.tailMs);
  if (chosen == kept_) return;
  settings_.WriteTalkKey(TalkKeySettingOf(chosen));
  kept_ = chosen;
  if (chosen_) chosen_(chosen);
}

}  // namespace kivora
