#include "ui/tray_icon.h"

#include <shellapi.h>

#include <string>
#include <utility>

#include "base/gbk_text.h"

namespace kivora::ui {
namespace {

NOTIFYICONDATAW IconData(HWND owner) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = kTrayIconId;
  return data;
}

}  // namespace

int TrayOperationOf(LPARAM mouseMessage) {
  switch (LOWORD(mouseMessage)) {
    case WM_LBUTTONUP: return kTrayLeftUp;
    case WM_LBUTTONDBLCLK: return kTrayDoubleClick;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: return kTrayContextMenu;
    default: return 0;
  }
}

bool TrayIcon::Show(HWND owner, HICON icon, std::wstring_view tip) {
  if (!icon) {
    Remove();
    return false;
  }
  NOTIFYICONDATAW data = IconData(owner);
  data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = icon;
  std::wstring cut = TruncateToGbkBytes(tip, kTrayTipMaxGbkBytes);
  lstrcpynW(data.szTip, cut.c_str(), ARRAYSIZE(data.szTip));
  // Added when the window has no icon there yet; otherwise, or when the shell still
  // holds ours (a TaskbarCreated without a real restart), the icon is replaced.
  BOOL done = owner_ != owner && Shell_NotifyIconW(NIM_ADD, &data);
  if (!done) done = Shell_NotifyIconW(NIM_MODIFY, &data);
  if (done) {
    owner_ = owner;
    tip_ = std::move(cut);
    if (!pendingText_.empty()) ShowBalloon(std::exchange(pendingTitle_, {}), std::exchange(pendingText_, {}));
  }
  return done != FALSE;
}

bool TrayIcon::ShowBalloon(std::wstring_view title, std::wstring_view text) {
  if (!owner_) {
    pendingTitle_ = title;
    pendingText_ = text;
    return false;
  }
  NOTIFYICONDATAW data = IconData(owner_);
  data.uFlags = NIF_INFO;
  lstrcpynW(data.szInfoTitle, std::wstring(title).c_str(), ARRAYSIZE(data.szInfoTitle));
  lstrcpynW(data.szInfo, std::wstring(text).c_str(), ARRAYSIZE(data.szInfo));
  data.dwInfoFlags = NIIF_WARNING;
  if (!Shell_NotifyIconW(NIM_MODIFY, &data)) return false;
  balloon_ = data.szInfo;
  return true;
}

void TrayIcon::Remove() {
  if (!owner_) return;
  NOTIFYICONDATAW data = IconData(owner_);
  Shell_NotifyIconW(NIM_DELETE, &data);
  owner_ = nullptr;
  tip_.clear();
}

}  // namespace kivora::ui
