#include "settings_dialog/settings_dialog.h"

#include <algorithm>
#include <string>

#include "base/dpi.h"
#include "base/window_procedure_guard.h"

namespace kivora {
namespace {

// The dialog's client area at 96 DPI, scaled to the dialog's: the section list on
// the left, the page on the right, the buttons along the bottom.
constexpr int kMargin = 10;
constexpr int kListWidth = 124;
constexpr int kPageWidth = 520;
// The section list's rows: tall, with the text inset and the chosen one marked by an
// accent bar on a tinted ground.
constexpr int kListItemHeight = 32;
constexpr int kListTextInset = 14;
constexpr int kAccentBarWidth = 3;
constexpr COLORREF kAccent = RGB(0, 120, 215);
constexpr COLORREF kChosenGround = RGB(221, 236, 250);
constexpr int kPageHeight = 330;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kClientWidth = kMargin + kListWidth + kMargin + kPageWidth + kMargin;
constexpr int kClientHeight = kMargin + kPageHeight + kMargin + kButtonHeight + kMargin;
constexpr int kListId = 200;

constexpr wchar_t kFontName[] = L"微软雅黑";
constexpr WORD kFontPoints = 9;

// An in-memory template of an empty dialog: title and font only; the controls are
// made in WM_INITDIALOG, sized in pixels.
std::vector<WORD> DialogTemplate() {
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
  // No DS_MODALFRAME: a modal frame has no icon in its title bar.
  header->style = DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  header->dwExtendedStyle = WS_EX_CONTROLPARENT;
  words.push_back(0);  // no menu
  words.push_back(0);  // the system's dialog class
  for (wchar_t c : kSettingsDialogTitle) words.push_back(c);
  words.push_back(0);
  words.push_back(kFontPoints);
  for (wchar_t c : std::wstring_view(kFontName)) words.push_back(c);
  words.push_back(0);
  return words;
}

HWND AddControl(HWND dialog, const wchar_t* windowClass, const wchar_t* text, DWORD style, RECT area, int id) {
  const RECT layout = area;
  area = ScaleToDpi(area, WindowDpi(dialog));
  HWND control = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, area.left, area.top,
                                 area.right - area.left, area.bottom - area.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  SendMessageW(control, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
  if (control) RememberLayout(control, layout);
  return control;
}

// The dialog's font at dpi: its face, at its size in points.
Font DialogFont(const LOGFONTW& face, int dpi) {
  LOGFONTW scaled = face;
  scaled.lfHeight = -MulDiv(kFontPoints, dpi, 72);
  scaled.lfWidth = 0;
  return Font(CreateFontIndirectW(&scaled));
}

// Every control below the dialog at the new DPI: each placed from its 96-DPI
// rectangle within its parent (less the parent's scroll offset; a parent is placed
// before its children), every text in the dialog's new font, and each pane told.
struct Rescale {
  int from, to;
  HFONT font;
};

BOOL CALLBACK RescaleControl(HWND control, LPARAM data) {
  const Rescale& rescale = *reinterpret_cast<const Rescale*>(data);
  RECT area{};
  if (LayoutOf(control, area)) {
    area = ScaleToDpi(area, rescale.to);
    OffsetRect(&area, 0, -static_cast<int>(SendMessageW(GetParent(control), PaneScrollOffsetMessage(), 0, 0)));
  } else {  // made by a control for itself (a list's scroll bar, a combo box's edit): it places it
    GetWindowRect(control, &area);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&area), 2);
    area = {MulDiv(area.left, rescale.to, rescale.from), MulDiv(area.top, rescale.to, rescale.from),
            MulDiv(area.right, rescale.to, rescale.from), MulDiv(area.bottom, rescale.to, rescale.from)};
  }
  SetWindowPos(control, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(rescale.font), FALSE);
  SendMessageW(control, PaneDpiChangedMessage(), static_cast<WPARAM>(rescale.to), 0);
  return TRUE;
}

// Outer size for the client size, centred on the owner.
void PlaceOverOwner(HWND dialog) {
  const int dpi = WindowDpi(dialog);
  RECT outer{0, 0, ScaleToDpi(kClientWidth, dpi), ScaleToDpi(kClientHeight, dpi)};
  AdjustWindowRectForDpi(outer, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)),
                         static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)), dpi);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  RECT owner{};
  HWND ownerWindow = GetWindow(dialog, GW_OWNER);
  if (!ownerWindow || !GetWindowRect(ownerWindow, &owner)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
  int left = (owner.left + owner.right - width) / 2;
  int top = (owner.top + owner.bottom - height) / 2;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  left = std::max<int>(work.left, std::min<int>(left, work.right - width));
  top = std::max<int>(work.top, std::min<int>(top, work.bottom - height));
  SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void AddSettingsMenuItem(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  const int count = GetMenuItemCount(menu);
  int closeItem = -1;
  for (int position = 0; position < count; ++position) {
    if (GetMenuItemID(menu, position) == SC_CLOSE) closeItem = position;
    if (GetMenuItemID(menu, position) == kSettingsCommand) return;
  }
  // Right above 关闭, after the separator that stands before it.
  const UINT before = closeItem < 0 ? static_cast<UINT>(count) : static_cast<UINT>(closeItem);
  InsertMenuW(menu, before, MF_BYPOSITION | MF_STRING, kSettingsCommand, std::wstring(kSettingsMenuItem).c_str());
}

SettingsDialog::SettingsDialog(SectionList sections, std::function<void(HWND)> dressWindow)
    : sections_(std::move(sections)), dressWindow_(std::move(dressWindow)) {}

SettingsDialog::~SettingsDialog() = default;

bool SettingsDialog::Run(HWND owner) {
  const std::vector<WORD> dialogTemplate = DialogTemplate();
  const auto instance = reinterpret_cast<HINSTANCE>(GetModuleHandleW(nullptr));
  const INT_PTR result = DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
                                                 owner, DialogProc, reinterpret_cast<LPARAM>(this));
  return result == IDOK;
}

INT_PTR CALLBACK SettingsDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<SettingsDialog*>(lParam);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return FALSE;
  return GuardWindowProcedure([&] { return self->HandleMessage(message, wParam, lParam); }, [] { return FALSE; });
}

INT_PTR SettingsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInit(); return FALSE;  // the focus is set by OnInit
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnOk(); return TRUE;
        case IDCANCEL: OnCancel(); return TRUE;
        case kListId:
          if (HIWORD(wParam) == LBN_SELCHANGE) ShowSection(static_cast<int>(SendMessageW(list_, LB_GETCURSEL, 0, 0)));
          return TRUE;
        default: return FALSE;
      }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item->CtlID != kListId) return FALSE;
      item->itemHeight = static_cast<UINT>(ScaleToDpi(kListItemHeight, dpi_));
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != kListId) return FALSE;
      DrawListItem(*item);
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_DPICHANGED:
      // The DPI comes from wParam: GetDpiForWindow may still give the old one.
      OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return TRUE;
    case WM_DESTROY:
      pages_.clear();
      hwnd_ = nullptr;
      return FALSE;
    default: return FALSE;
  }
}

// The dialog places and sizes its controls for each DPI itself: the system's own
// scaling of dialogs (Windows 10 1703 and later) is turned off for it and them.
void OptOutOfSystemScaling(HWND window) {
  using DialogBehaviour = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
  using ControlBehaviour = BOOL(WINAPI*)(HWND, DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS, DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  static const auto dialogBehaviour = reinterpret_cast<DialogBehaviour>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetDialogDpiChangeBehavior")));
  static const auto controlBehaviour = reinterpret_cast<ControlBehaviour>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetDialogControlDpiChangeBehavior")));
  if (dialogBehaviour) dialogBehaviour(window, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
  if (!controlBehaviour) return;
  EnumChildWindows(
      window,
      [](HWND control, LPARAM function) -> BOOL {
        const auto behaviour = reinterpret_cast<ControlBehaviour>(function);
        const auto off = static_cast<DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS>(DCDC_DISABLE_FONT_UPDATE | DCDC_DISABLE_RELAYOUT);
        behaviour(control, off, off);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(controlBehaviour));
}

void SettingsDialog::OnInit() {
  dpi_ = WindowDpi(hwnd_);
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)), sizeof(face_), &face_);
  PlaceOverOwner(hwnd_);
  // The owner's icons in the title bar: the owner keeps them for longer than the dialog lives.
  if (HWND owner = GetWindow(hwnd_, GW_OWNER)) {
    for (WPARAM size : {ICON_SMALL, ICON_BIG}) {
      SendMessageW(hwnd_, WM_SETICON, size, SendMessageW(owner, WM_GETICON, size, 0));
    }
  }
  list_ = AddControl(hwnd_, L"LISTBOX", L"",
                     WS_BORDER | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED |
                         LBS_HASSTRINGS,
                     {kMargin, kMargin, kMargin + kListWidth, kMargin + kPageHeight}, kListId);
  const RECT pageArea{kMargin + kListWidth + kMargin, kMargin, kClientWidth - kMargin, kMargin + kPageHeight};
  for (auto& section : sections_) {
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::wstring(section->Title()).c_str()));
    pages_.push_back(std::make_unique<SettingsPane>(hwnd_, pageArea, *section));
    section->Create(*pages_.back());
    ShowWindow(pages_.back()->Handle(), SW_HIDE);
  }
  const int buttonTop = kClientHeight - kMargin - kButtonHeight;
  const int cancelLeft = kClientWidth - kMargin - kButtonWidth;
  const int okLeft = cancelLeft - kMargin - kButtonWidth;
  AddControl(hwnd_, L"BUTTON", L"确定", WS_TABSTOP | BS_DEFPUSHBUTTON,
             {okLeft, buttonTop, okLeft + kButtonWidth, buttonTop + kButtonHeight}, IDOK);
  AddControl(hwnd_, L"BUTTON", L"取消", WS_TABSTOP | BS_PUSHBUTTON,
             {cancelLeft, buttonTop, cancelLeft + kButtonWidth, buttonTop + kButtonHeight}, IDCANCEL);
  if (dressWindow_) dressWindow_(hwnd_);
  OptOutOfSystemScaling(hwnd_);
  SendMessageW(list_, LB_SETCURSEL, 0, 0);
  ShowSection(0);
  SetFocus(list_);
}

// The dialog moved to a monitor of another DPI: it takes the rectangle the system
// suggests, and every control its place and font for the new DPI.
void SettingsDialog::OnDpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  Font font = DialogFont(face_, dpi);  // the old one stays until every control has the new one
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Rescale rescale{dpi_, dpi, font.Get()};
  EnumChildWindows(hwnd_, RescaleControl, reinterpret_cast<LPARAM>(&rescale));
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
  font_ = std::move(font);
  dpi_ = dpi;
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, ScaleToDpi(kListItemHeight, dpi_));
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void SettingsDialog::DrawListItem(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  const RECT area = item.rcItem;
  const bool chosen = (item.itemState & ODS_SELECTED) != 0;
  const Brush ground(CreateSolidBrush(chosen ? kChosenGround : GetSysColor(COLOR_WINDOW)));
  FillRect(dc, &area, ground.Get());
  if (item.itemID == static_cast<UINT>(-1)) return;
  if (chosen) {
    const Brush accent(CreateSolidBrush(kAccent));
    const RECT bar{area.left, area.top, area.left + ScaleToDpi(kAccentBarWidth, dpi_), area.bottom};
    FillRect(dc, &bar, accent.Get());
  }
  wchar_t title[64] = {};
  if (SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0) < 64) {
    SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(title));
  }
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  RECT text = area;
  text.left += ScaleToDpi(kListTextInset, dpi_);
  DrawTextW(dc, title, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, oldFont);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &area);
}

void SettingsDialog::ShowSection(int index) {
  if (index < 0 || index >= static_cast<int>(pages_.size()) || index == shown_) return;
  if (shown_ >= 0) ShowWindow(pages_[static_cast<size_t>(shown_)]->Handle(), SW_HIDE);
  shown_ = index;
  ShowWindow(pages_[static_cast<size_t>(index)]->Handle(), SW_SHOW);
}

void SettingsDialog::OnOk() {
  for (size_t index = 0; index < sections_.size(); ++index) {
    if (!sections_[index]->Validate()) {
      SendMessageW(list_, LB_SETCURSEL, index, 0);
      ShowSection(static_cast<int>(index));
      return;
    }
  }
  auto applySections = [this] {
    for (auto& section : sections_) section->Apply();
  };
  if (applyTogether_) {
    applyTogether_(applySections);
  } else {
    applySections();
  }
  EndDialog(hwnd_, IDOK);
}

void SettingsDialog::OnCancel() {
  for (auto& section : sections_) section->Cancel();
  EndDialog(hwnd_, IDCANCEL);
}

}  // namespace kivora
