#include "ui/main_window.h"

#include <commctrl.h>

#include "base/dpi.h"
#include "base/window_procedure_guard.h"
#include "ui/control_names.h"
#include "ui/page_switch.h"

namespace kivora::ui {
namespace {

constexpr wchar_t kWindowClass[] = L"KivoraMainWindow";
constexpr int kFirstControlId = 1000;
constexpr UINT_PTR kSubclassId = 1;
constexpr int kWindowIconsResource = 2;  // the icon at each scale's sizes
constexpr UINT_PTR kTrayRetryTimer = 2;
constexpr UINT kTrayRetryMilliseconds = 250;
constexpr int kTrayMaxAttempts = 40;
constexpr UINT kRunPosted = WM_APP + 2;  // WM_APP + 1 is the tray icon's callback
constexpr int kFontPixels = 12;  // at 96 DPI
constexpr int kLargeIconPixels = 32;
constexpr int kSmallIconPixels = 16;

struct KindStyle {
  const wchar_t* windowClass;
  DWORD style;
};

KindStyle StyleOf(const ControlSpec& spec) {
  switch (spec.kind) {
    case ControlKind::PushButton: return {L"BUTTON", BS_PUSHBUTTON | BS_CENTER | BS_VCENTER};
    case ControlKind::PictureButton: return {L"BUTTON", BS_PUSHBUTTON | BS_BITMAP | BS_CENTER | BS_VCENTER};
    case ControlKind::CheckBox: return {L"BUTTON", BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER};
    case ControlKind::Label: return {L"STATIC", SS_OWNERDRAW};
    case ControlKind::HyperlinkLabel: return {L"STATIC", SS_OWNERDRAW | SS_NOTIFY};
    case ControlKind::PictureBox: return {L"STATIC", SS_OWNERDRAW | SS_NOTIFY};
    case ControlKind::Slider: return {TRACKBAR_CLASSW, TBS_HORZ | TBS_NOTICKS};
    case ControlKind::TabControl: return {WC_TABCONTROLW, WS_CLIPSIBLINGS};
  }
  return {L"STATIC", 0};
}

HICON LoadAppIcon(HINSTANCE instance, int size) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kWindowIconsResource), IMAGE_ICON, size, size, 0));
}

// The tab strip's padding and narrowest tab are fixed pixels in the control: away
// from 96 DPI the defaults (6 × 3 and 54) are set at the window's DPI so that the
// strip keeps its proportions; at 96 DPI the control's own defaults stand.
void ScaleTabStrip(HWND tabs, int dpi) {
  SendMessageW(tabs, TCM_SETPADDING, 0, MAKELPARAM(ScaleToDpi(6, dpi), ScaleToDpi(3, dpi)));
  SendMessageW(tabs, TCM_SETMINTABWIDTH, 0, dpi == kBaseDpi ? -1 : ScaleToDpi(54, dpi));
}

Font FontAt(int dpi) {
  LOGFONTW face{};
  face.lfHeight = -ScaleToDpi(kFontPixels, dpi);
  face.lfWeight = FW_NORMAL;
  face.lfCharSet = DEFAULT_CHARSET;
  lstrcpyW(face.lfFaceName, L"微软雅黑");
  return Font(CreateFontIndirectW(&face));
}

}  // namespace

MainWindow::MainWindow() = default;

MainWindow::~MainWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

// The font and the icons for the window's DPI; the icon file carries an image for
// each scale, so none is stretched.
void MainWindow::MakeFontAndIcons(HINSTANCE instance) {
  font_ = FontAt(dpi_);
  largeIcon_.Reset(LoadAppIcon(instance, ScaleToDpi(kLargeIconPixels, dpi_)));
  smallIcon_.Reset(LoadAppIcon(instance, ScaleToDpi(kSmallIconPixels, dpi_)));
}

bool MainWindow::Create(HINSTANCE instance) {
  // The window opens on the primary monitor, which is at the system's DPI.
  dpi_ = SystemDpi();
  MakeFontAndIcons(instance);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = largeIcon_.Get();
  windowClass.hIconSm = smallIcon_.Get();
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when a second window is made in one process

  const WindowSpec window;
  const SIZE outer = OuterSizeAt(dpi_);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2;
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  CreateWindowExW(0, kWindowClass, std::wstring(window.title).c_str(), style, left, top, outer.cx, outer.cy, nullptr,
                  nullptr, instance, this);
  if (!hwnd_) return false;
  // The primary monitor's scale may have changed since the session began (the system's
  // DPI stays as it was at sign-in): lay the window out for the monitor it is on.
  if (const int actual = WindowDpi(hwnd_); actual != dpi_) {
    const SIZE size = OuterSizeAt(actual);
    const int centredLeft = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
    const int centredTop = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
    OnDpiChanged(actual, {centredLeft, centredTop, centredLeft + size.cx, centredTop + size.cy});
  }
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.Get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  CreateControls(Batch::OutOfSight);
  FireIfBound(events_.completed);
  return hwnd_ != nullptr;
}

Control& MainWindow::operator[](std::wstring_view name) const { return *Find(name); }

Control* MainWindow::Find(std::wstring_view name) const {
  auto found = byName_.find(name);
  return found == byName_.end() ? nullptr : found->second;
}

void MainWindow::SetAlwaysOnTop(bool onTop) {
  SetWindowPos(hwnd_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool MainWindow::AlwaysOnTop() const { return (GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void MainWindow::ShowTrayIcon(std::wstring_view tip) {
  trayTip_ = tip;
  trayAttempts_ = 1;
  if (!tray_.Show(hwnd_, smallIcon_.Get(), trayTip_) && smallIcon_) SetTimer(hwnd_, kTrayRetryTimer, kTrayRetryMilliseconds, nullptr);
}

void MainWindow::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void MainWindow::CreateControls(Batch batch) {
  if (!hwnd_) return;
  const auto& layout = MainWindowLayout();
  // Layout order is z-order: each control goes just below the one listed before it,
  // whichever batch that one was made in.
  HWND above = HWND_TOP;
  int id = kFirstControlId;
  for (const ControlSpec& spec : layout) {
    const bool firstSight = spec.page == kOnWindow || spec.page == currentPage_;
    if (firstSight == (batch == Batch::FirstSight)) {
      above = CreateControl(spec, id, above);
    } else if (Control* made = ControlById(id)) {
      above = made->Handle();
    }
    ++id;
  }
}

HWND MainWindow::CreateControl(const ControlSpec& spec, int id, HWND above) {
  KindStyle kind = StyleOf(spec);
  DWORD style = WS_CHILD | kind.style;
  if (spec.tabStop) style |= WS_TABSTOP;
  if (spec.disabled) style |= WS_DISABLED;
  if (spec.page == kOnWindow || spec.page == currentPage_) style |= WS_VISIBLE;

  const RECT area = ControlRectAt(spec, dpi_);
  HWND handle = CreateWindowExW(0, kind.windowClass, spec.caption.c_str(), style, area.left, area.top,
                                area.right - area.left, area.bottom - area.top, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  // A new child goes to the bottom, which is already its place while the controls
  // are made in layout order; a control made later is moved up to it.
  if (GetWindow(handle, GW_HWNDPREV) != above) {
    SetWindowPos(handle, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);

  if (spec.kind == ControlKind::Slider) {
    SendMessageW(handle, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    SendMessageW(handle, TBM_SETLINESIZE, 0, 1);
    SendMessageW(handle, TBM_SETPAGESIZE, 0, 5);
    SendMessageW(handle, TBM_SETPOS, TRUE, 100);
  } else if (spec.kind == ControlKind::TabControl) {
    if (dpi_ != kBaseDpi) ScaleTabStrip(handle, dpi_);
    for (int page = 0; page < kPageCount; ++page) {
      std::wstring title(kPageTitles[page]);
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = title.data();
      SendMessageW(handle, TCM_INSERTITEMW, page, reinterpret_cast<LPARAM>(&item));
    }
  }

  std::unique_ptr<Control> control = MakeControl(spec, handle, currentPage_);
  control->OnDpiChanged(dpi_);
  SetWindowSubclass(handle, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(control.get()));
  byName_.emplace(control->Name(), control.get());
  byId_.emplace(id, control.get());
  controls_.push_back(std::move(control));
  return handle;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return GuardWindowProcedure([&] { return self->HandleMessage(message, wParam, lParam); },
                              [&] { return DefWindowProcW(hwnd, message, wParam, lParam); });
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // A restarted shell has an empty notification area: put the icon back.
  static const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  if (message == taskbarCreated && tray_.Shown()) {
    tray_.Forget();
    ShowTrayIcon(trayTip_);
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      CreateControls(Batch::FirstSight);
      FireIfBound(events_.created);
      return 0;
    case WM_COMMAND: OnCommand(wParam, lParam); return 0;
    case WM_NOTIFY: OnNotify(*reinterpret_cast<const NMHDR*>(lParam)); return 0;
    case WM_HSCROLL:
      if (Control* control = ControlById(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)))) control->OnScroll(LOWORD(wParam));
      return 0;
    case WM_DRAWITEM:
      if (DrawControl(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_RBUTTONDOWN: FireIfBound(events_.rightPressed); return 0;
    case kTrayCallbackMessage:
      if (int operation = TrayOperationOf(lParam); operation != 0 && events_.notificationArea) {
        events_.notificationArea(operation);
      }
      return 0;
    case WM_TIMER:
      if (wParam == kTrayRetryTimer) {
        if (tray_.Show(hwnd_, smallIcon_.Get(), trayTip_) || ++trayAttempts_ >= kTrayMaxAttempts) KillTimer(hwnd_, wParam);
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      if (events_.systemCommand && events_.systemCommand(static_cast<UINT>(wParam & 0xFFF0))) return 0;
      break;
    case WM_HOTKEY:
      if (events_.hotkey) events_.hotkey(static_cast<int>(wParam));
      return 0;
    case kNoticeMessage:
      FireIfBound(events_.noticePosted);
      return 0;
    case kRunPosted: {
      std::vector<Handler> due = std::move(posted_);
      posted_.clear();
      for (const Handler& handler : due) FireIfBound(handler);
      return 0;
    }
    case WM_DPICHANGED:
      // The DPI comes from wParam: GetDpiForWindow may still give the old one.
      OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_NCDESTROY: {
      LRESULT result = DefWindowProcW(hwnd_, message, wParam, lParam);
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return result;
    }
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  if (lParam == 0) {
    // IsDialogMessage turns Esc into IDCANCEL; the window closes at once, like its close box.
    if (id == IDCANCEL) Destroy();
    return;
  }
  if (Control* control = ControlById(id)) control->OnCommand(HIWORD(wParam));
}

Control* MainWindow::ControlById(int id) const {
  auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : found->second;
}

void MainWindow::OnNotify(const NMHDR& header) {
  Control* tab = Find(kPageTabs);
  if (tab && header.hwndFrom == tab->Handle() && header.code == TCN_SELCHANGE) {
    currentPage_ = static_cast<int>(SendMessageW(tab->Handle(), TCM_GETCURSEL, 0, 0));
    ShowCurrentPage();
  }
}

void MainWindow::ShowCurrentPage() {
  for (const auto& control : controls_) {
    if (control->Spec().page != kOnWindow) control->ApplyPage();
  }
}

void MainWindow::OnDestroy() {
  FireIfBound(events_.destroying);
  tray_.Remove();
  PostQuitMessage(0);
}

// The window moved to a monitor of another DPI (or that monitor's scale changed):
// it takes the rectangle the system suggests, and every control its place, font and
// picture for the new DPI.
void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0) return;
  dpi_ = dpi;
  const Font oldFont = std::move(font_);  // the controls hold it until they have the new one
  const Icon oldLarge = std::move(largeIcon_), oldSmall = std::move(smallIcon_);
  MakeFontAndIcons(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.Get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
  if (tray_.Shown()) tray_.Show(hwnd_, smallIcon_.Get(), trayTip_);
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (const auto& control : controls_) {
    const RECT area = ControlRectAt(control->Spec(), dpi_);
    SetWindowPos(control->Handle(), nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    if (control->Spec().kind == ControlKind::TabControl) ScaleTabStrip(control->Handle(), dpi_);
    control->OnDpiChanged(dpi_);
  }
  if (Find(kPageTabs) && Find(kInstructionsLabel)) ApplyPageLayout(*this);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void MainWindow::ChooseMenuItem(int index) {
  if (index >= 0 && index < static_cast<int>(events_.menuItems.size())) FireIfBound(events_.menuItems[index]);
}

void MainWindow::Post(Handler handler) {
  posted_.push_back(std::move(handler));
  if (posted_.size() == 1) PostMessageW(hwnd_, kRunPosted, 0, 0);
}

bool MainWindow::DrawControl(const DRAWITEMSTRUCT& item) {
  Control* control = ControlById(static_cast<int>(item.CtlID));
  return control && control->Draw({item.hDC, item.rcItem, font_.Get()});
}

LRESULT CALLBACK MainWindow::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data) noexcept {
  auto* control = reinterpret_cast<Control*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, ControlProc, kSubclassId);
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(GetParent(hwnd), GWLP_USERDATA));
  if (!self) return DefSubclassProc(hwnd, message, wParam, lParam);
  return GuardWindowProcedure([&] { return control->HandleMessage(message, wParam, lParam); },
                              [&] { return DefSubclassProc(hwnd, message, wParam, lParam); });
}

}  // namespace kivora::ui
