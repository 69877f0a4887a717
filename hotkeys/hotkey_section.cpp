#include "hotkeys/hotkey_section.h"

#include <commctrl.h>

#include <algorithm>

#include "base/window_procedure_guard.h"
#include "hotkeys/hotkey_field.h"

namespace kivora {
namespace {

constexpr COLORREF kWarningColour = RGB(210, 0, 0);
constexpr UINT_PTR kFieldSubclassId = 1;

// The page: the scrolling list of rows, then the note line and 全部清除.
constexpr int kListHeight = 270;  // eight whole rows below the first group title
constexpr int kClearAllWidth = 84;
constexpr int kButtonHeight = 26;
// One row of the list: caption, field (wide enough for "Ctrl + Alt + Shift + F10"),
// 清除, status ("已被其他程序占用" whole).
constexpr int kRowPitch = 30;
constexpr int kGroupPitch = 26;
constexpr int kRowHeight = 24;
constexpr int kCaptionLeft = 14, kCaptionWidth = 118;
constexpr int kFieldLeft = 134, kFieldWidth = 170;
constexpr int kClearLeft = 310, kClearWidth = 48;
constexpr int kStatusLeft = 366, kStatusWidth = 132;

bool WinDown() { return ((GetKeyState(VK_LWIN) | GetKeyState(VK_RWIN)) & 0x8000) != 0; }

bool AnyModifierDown() {
  for (int key : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN}) {
    if (GetKeyState(key) & 0x8000) return true;
  }
  return false;
}

bool IsModifierKey(DWORD key) {
  switch (key) {
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT: case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL:
    case VK_MENU: case VK_LMENU: case VK_RMENU: case VK_LWIN: case VK_RWIN: return true;
    default: return false;
  }
}

// The modifiers held as the system sees them at this moment (a hook runs before the
// key reaches any window's key state).
std::uint32_t ModifiersDownNow() {
  std::uint32_t modifiers = 0;
  const auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
  if (down(VK_CONTROL)) modifiers |= kModControl;
  if (down(VK_MENU)) modifiers |= kModAlt;
  if (down(VK_SHIFT)) modifiers |= kModShift;
  if (down(VK_LWIN) || down(VK_RWIN)) modifiers |= kModWin;
  return modifiers;
}

// The one hotkey page open (the dialog is modal), for its keyboard hook.
HotkeySection* capturingSection = nullptr;

std::uint32_t ModifiersHeld() {
  std::uint32_t modifiers = WinDown() ? kModWin : 0u;
  if (GetKeyState(VK_CONTROL) & 0x8000) modifiers |= kModControl;
  if (GetKeyState(VK_MENU) & 0x8000) modifiers |= kModAlt;
  if (GetKeyState(VK_SHIFT) & 0x8000) modifiers |= kModShift;
  return modifiers;
}

}  // namespace

HotkeySection::HotkeySection(Hotkeys& hotkeys, std::function<std::optional<std::wstring>(const Hotkey&)> heldFor)
    : hotkeys_(hotkeys), heldFor_(std::move(heldFor)) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_HOTKEY_CLASS};
  InitCommonControlsEx(&controls);
}

HotkeySection::~HotkeySection() {
  keyboardHook_.Reset();
  if (capturingSection == this) capturingSection = nullptr;
  for (const Row& row : rows_) {
    if (row.field) RemoveWindowSubclass(row.field, FieldProc, kFieldSubclassId);
  }
  if (!settled_) hotkeys_.Resume();
}

void HotkeySection::Create(SettingsPane& page) {
  // Read before the keys are let go: a key is taken only while it cannot be registered.
  const std::vector<HotkeyBinding> bindings = hotkeys_.Bindings();
  hotkeys_.Suspend();
  list_ = std::make_unique<SettingsPane>(page.Handle(), RECT{0, 0, page.Width(), kListHeight}, *this,
                                         SettingsPane::Scroll::Vertical);
  const std::vector<HotkeyTarget>& targets = hotkeys_.Targets();
  rows_.resize(targets.size());
  int top = 4;
  std::wstring group;
  for (size_t index = 0; index < targets.size(); ++index) {
    if (targets[index].group != group) {
      group = targets[index].group;
      list_->Add(L"STATIC", group.c_str(), SS_LEFT, {4, top + 4, kStatusLeft, top + kGroupPitch});
      top += kGroupPitch;
    }
    Row& row = rows_[index];
    list_->Add(L"STATIC", targets[index].caption().c_str(), SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS | SS_NOPREFIX,
               {kCaptionLeft, top, kCaptionLeft + kCaptionWidth, top + kRowHeight});
    row.field = list_->Add(HOTKEY_CLASSW, L"", WS_TABSTOP, {kFieldLeft, top, kFieldLeft + kFieldWidth, top + kRowHeight});
    FlattenHotkeyField(row.field);
    row.clear = list_->Add(L"BUTTON", L"清除", WS_TABSTOP | BS_PUSHBUTTON, {kClearLeft, top, kClearLeft + kClearWidth, top + kRowHeight});
    row.status = list_->Add(L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX,
                            {kStatusLeft, top, kStatusLeft + kStatusWidth, top + kRowHeight});
    SetWindowSubclass(row.field, FieldProc, kFieldSubclassId, reinterpret_cast<DWORD_PTR>(this));
    const HotkeyBinding& binding = bindings[index];
    row.kept = binding.key;
    if (binding.key) {
      Show(index, binding.key, binding.Taken() ? kTakenText : L"", binding.Taken(), binding.Taken());
    }
    top += kRowPitch;
  }
  list_->SetContentHeight(top);
  const int bottom = page.Height();
  note_ = page.Add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, {0, kListHeight + 6, page.Width() - kClearAllWidth - 8, bottom});
  clearAll_ = page.Add(L"BUTTON", L"全部清除", WS_TABSTOP | BS_PUSHBUTTON,
                       {page.Width() - kClearAllWidth, kListHeight + 10, page.Width(), kListHeight + 10 + kButtonHeight});
  capturingSection = this;
  keyboardHook_.Reset(SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, GetModuleHandleW(nullptr), 0));
}

LRESULT CALLBACK HotkeySection::KeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == HC_ACTION && (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) && capturingSection) {
    const DWORD key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->vkCode;
    GuardWindowProcedure([&]() -> LRESULT { capturingSection->OnKeyPressedAnywhere(key); return 0; },
                         [] { return LRESULT{0}; });
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A key pressed while a field has the focus: when another program holds the
// combination, the system gives it to that program and the field never sees it, so
// it is said here.
void HotkeySection::OnKeyPressedAnywhere(DWORD key) {
  if (IsModifierKey(key)) return;
  const size_t row = RowOf(GetFocus());
  if (row >= rows_.size() || GetFocus() != rows_[row].field) return;
  const Hotkey typed{ModifiersDownNow(), key};
  if (typed == rows_[row].key || ReservedReason(typed) || FormatHotkey(typed).empty()) return;
  if (!hotkeys_.HeldElsewhere(typed)) return;  // the field gets it as any other key
  for (size_t other = 0; other < rows_.size(); ++other) {
    if (other != row && rows_[other].key == typed) return;  // the field's own check says so
  }
  SetNote(L"");
  Show(row, typed, kTakenText, true, true);
}

LRESULT CALLBACK HotkeySection::FieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) noexcept {
  auto* self = reinterpret_cast<HotkeySection*>(data);
  return GuardWindowProcedure(
      [&]() -> LRESULT {
        switch (message) {
          case WM_SETFOCUS:
          case WM_KILLFOCUS: {
            if (message == WM_SETFOCUS) self->list_->ScrollIntoView(hwnd);
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            InvalidateRect(hwnd, nullptr, TRUE);  // the caret goes where the text ends
            return result;
          }
          case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(hwnd, &paint);
            self->PaintField(hwnd, dc);
            EndPaint(hwnd, &paint);
            return 0;
          }
          case WM_PRINTCLIENT: self->PaintField(hwnd, reinterpret_cast<HDC>(wParam)); return 0;
          case WM_KEYDOWN:
          case WM_SYSKEYDOWN:
            if (self->OnFieldKeyDown(hwnd, wParam)) return 0;
            break;
          case WM_KEYUP:
          case WM_SYSKEYUP: {
            // Every key let go with no key taken (a modifier tapped alone, a refused
            // key): the field shows the row's key again, which stays.
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            if (LOBYTE(SendMessageW(hwnd, HKM_GETHOTKEY, 0, 0)) == 0) self->ShowField(self->RowOf(hwnd));
            return result;
          }
          default: break;
        }
        return DefSubclassProc(hwnd, message, wParam, lParam);
      },
      [&] { return DefSubclassProc(hwnd, message, wParam, lParam); });
}

// What the field shows: the row's key (with Win, which the field itself cannot hold),
// a key just typed, the modifiers held while one is being typed, or 无.
std::wstring HotkeySection::FieldText(HWND field) const {
  const size_t row = RowOf(field);
  if (row >= rows_.size()) return {};
  const auto value = static_cast<WORD>(SendMessageW(field, HKM_GETHOTKEY, 0, 0));
  const Row& shown = rows_[row];
  if (LOBYTE(value) != 0) {
    if (shown.key && FieldValueOf(*shown.key) == value) return DisplayHotkey(*shown.key);
    if (const std::optional<Hotkey> key = HotkeyOfField(value, shown.winHeld)) return DisplayHotkey(*key);
  }
  if (GetFocus() == field) {
    if (const std::uint32_t held = ModifiersHeld()) return DisplayHotkey({held, 0});
  }
  return kNoKeyText;
}

void HotkeySection::PaintField(HWND field, HDC dc) const { PaintHotkeyField(field, dc, FieldText(field)); }

// True when the key is the dialog's rather than the field's.
bool HotkeySection::OnFieldKeyDown(HWND field, WPARAM key) {
  // The field would take Win itself as the key: Win is a modifier here.
  if (key == VK_LWIN || key == VK_RWIN) return true;
  const size_t row = RowOf(field);
  if (row >= rows_.size()) return false;
  // Up and down alone move between the rows, as in any list.
  if ((key == VK_UP || key == VK_DOWN) && !AnyModifierDown()) {
    const size_t next = key == VK_UP ? (row == 0 ? 0 : row - 1) : std::min(row + 1, rows_.size() - 1);
    SendMessageW(GetAncestor(field, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(rows_[next].field), TRUE);
    return true;
  }
  rows_[row].winHeld = WinDown();
  return false;
}

void HotkeySection::OnCommand(HWND control, WORD code) {
  if (control == clearAll_) {
    for (size_t row = 0; row < rows_.size(); ++row) ClearRow(row);
    SetNote(L"");
    return;
  }
  const size_t row = RowOf(control);
  if (row >= rows_.size()) return;
  if (control == rows_[row].clear) {
    ClearRow(row);
    SetNote(L"");
  } else if (control == rows_[row].field && code == EN_CHANGE) {
    OnFieldChanged(row);
  } else if (code == BN_SETFOCUS) {
    list_->ScrollIntoView(control);
  }
}

// A key just typed into a row's field: refused with a reason, shown as taken, or taken.
void HotkeySection::OnFieldChanged(size_t row) {
  const auto value = static_cast<WORD>(SendMessageW(rows_[row].field, HKM_GETHOTKEY, 0, 0));
  const std::optional<Hotkey> key = HotkeyOfField(value, rows_[row].winHeld);
  // Modifiers alone so far, or the row's own key shown again: nothing new was typed.
  if (!key || key == rows_[row].key) return;
  const std::wstring text = FormatHotkey(*key);
  if (const std::optional<std::wstring_view> reason = ReservedReason(*key)) return Refuse(row, *reason);
  for (size_t other = 0; other < rows_.size(); ++other) {
    if (other != row && rows_[other].key == key) {
      return Refuse(row, text + L" 已用于「" + hotkeys_.Targets()[other].caption() + L"」，一个键只能对应一项");
    }
  }
  if (text.empty()) return Refuse(row, L"这个键不能用作热键");
  // Kivora presses that key itself while a sound plays: as a hotkey it would set itself off.
  if (const std::optional<std::wstring> use = heldFor_ ? heldFor_(*key) : std::nullopt) {
    return Refuse(row, text + L" 已是「" + *use + L"」的键：Kivora 播放时会按下它，它不能再作热键");
  }
  SetNote(L"");
  if (hotkeys_.HeldElsewhere(*key)) return Show(row, key, kTakenText, true, true);
  Show(row, key, L"", false);
}

// A key that cannot be used: the row keeps the key it had, and the note says why.
void HotkeySection::Refuse(size_t row, std::wstring_view reason) {
  ShowField(row);
  if (!rows_[row].key) Show(row, std::nullopt, L"不能使用", true);
  SetNote(reason);
}

void HotkeySection::ShowField(size_t row) {
  if (row >= rows_.size()) return;
  const std::optional<Hotkey>& key = rows_[row].key;
  SendMessageW(rows_[row].field, HKM_SETHOTKEY, key ? FieldValueOf(*key) : 0, 0);
}

void HotkeySection::Show(size_t row, std::optional<Hotkey> key, std::wstring_view status, bool problem, bool taken) {
  Row& shown = rows_[row];
  shown.key = key;
  shown.taken = taken;
  ShowField(row);
  shown.problem = problem;
  SetWindowTextW(shown.status, std::wstring(status).c_str());
  InvalidateRect(shown.status, nullptr, TRUE);
}

void HotkeySection::ClearRow(size_t row) { Show(row, std::nullopt, L"", false); }

void HotkeySection::SetNote(std::wstring_view text) { SetWindowTextW(note_, std::wstring(text).c_str()); }

size_t HotkeySection::RowOf(HWND control) const {
  for (size_t row = 0; row < rows_.size(); ++row) {
    if (rows_[row].field == control || rows_[row].clear == control) return row;
  }
  return rows_.size();
}

std::optional<COLORREF> HotkeySection::TextColour(HWND label) const {
  if (label == note_) return kWarningColour;
  for (const Row& row : rows_) {
    if (row.status == label && row.problem) return kWarningColour;
  }
  return std::nullopt;
}

void HotkeySection::Apply() {
  std::vector<std::optional<Hotkey>> keys;
  for (const Row& row : rows_) keys.push_back(row.taken ? row.kept : row.key);
  settled_ = true;
  hotkeys_.Apply(keys);
}

void HotkeySection::Cancel() {
  settled_ = true;
  hotkeys_.Resume();
}

}  // namespace kivora
