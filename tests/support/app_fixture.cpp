#include "app_fixture.h"

#include <commctrl.h>

#include "app/data_folder.h"
#include "decor/links.h"
#include "settings/settings_file.h"
#include "temp_folder.h"

namespace kivora::testing {
namespace {

LPARAM CentreOf(HWND control) {
  RECT rect{};
  GetClientRect(control, &rect);
  return MAKELPARAM(rect.right / 2, rect.bottom / 2);
}

}  // namespace

const std::wstring& AppFixture::DocumentsFolder() {
  static const TempFolder documents;
  return documents.Path();
}

std::wstring AppFixture::DataFolder() { return DataFolderFrom(DocumentsFolder()); }

std::wstring AppFixture::SettingsFile() { return SettingsFilePath(DataFolder()); }

AppFixture::AppFixture(Settings settings, Look look) : cleanup_(std::make_unique<ExitCleanup>()) {
  audio.showAliasAs = L"snd";
  if (settings == Settings::Fresh) DeleteFileW(SettingsFile().c_str());
  // Tests stay off the network: unless a test serves a banner of its own, the
  // fetch goes to a closed loopback port and is refused at once.
  if (GetEnvironmentVariableW(kBannerAddressVariable, nullptr, 0) == 0) {
    SetEnvironmentVariableW(kBannerAddressVariable, L"http://127.0.0.1:1/banner");
  }
  app_ = std::make_unique<App>(Services{prompts, web, fileChooser, audio, DocumentsFolder(), look == Look::Skinned, &gains},
                               cleanup_->Texts());
  app_->Start(GetModuleHandleW(nullptr));
  Pump();
}

AppFixture::~AppFixture() {
  app_.reset();
  Pump();
  cleanup_.reset();
}

void AppFixture::Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool AppFixture::WaitForMeasurements() {
  for (int waited = 0; waited < 2000 && app().Loudness().Busy(); ++waited) {
    Pump();
    Sleep(10);
  }
  Pump();
  return !app().Loudness().Busy();
}

void AppFixture::Click(std::wstring_view name) {
  HWND target = control(name).Handle();
  SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(target));
  SendMessageW(target, WM_LBUTTONUP, 0, CentreOf(target));
  Pump();
}

void AppFixture::DoubleClick(std::wstring_view name) {
  HWND target = control(name).Handle();
  SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(target));
  SendMessageW(target, WM_LBUTTONUP, 0, CentreOf(target));
  SendMessageW(target, WM_LBUTTONDBLCLK, MK_LBUTTON, CentreOf(target));
  SendMessageW(target, WM_LBUTTONUP, 0, CentreOf(target));
  Pump();
}

void AppFixture::RightPress(std::wstring_view name) {
  HWND target = control(name).Handle();
  SendMessageW(target, WM_RBUTTONDOWN, MK_RBUTTON, CentreOf(target));
  SendMessageW(target, WM_RBUTTONUP, 0, CentreOf(target));
  Pump();
}

void AppFixture::DragSlider(int position) {
  ui::Slider& slider = window().As<ui::Slider>(L"滑块条1");
  slider.SetTrackPosition(position);
  SendMessageW(hwnd(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider.Handle()));
  Pump();
}

void AppFixture::ClickTab(int page) {
  HWND tab = control(L"选择夹1").Handle();
  RECT item{};
  SendMessageW(tab, TCM_GETITEMRECT, page, reinterpret_cast<LPARAM>(&item));
  LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  SendMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(tab, WM_LBUTTONUP, 0, at);
  Pump();
}

}  // namespace kivora::testing
