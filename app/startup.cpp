// The start-up sequence, in two halves around the main window's first showing. No
// step looks at the result of another: each runs even when an earlier one failed.
#include <windows.h>

#include <utility>

#include "app/app.h"
#include "app/catalogue_extraction.h"
#include "app/data_folder.h"
#include "decor/decorate_window.h"
#include "decor/links.h"
#include "ui/control_names.h"

namespace kivora {
namespace {

constexpr std::wstring_view kTrayTip = L"欢迎使用Kivora！";

}  // namespace

// Before the window first shows, with the controls in first sight: the skin and the
// restored volume and always-on-top choice are there in the first picture.
void App::PrepareFirstSight() {
  shell_.dataFolder = DataFolderFrom(services_.documentsFolder.empty() ? DocumentsFolder() : services_.documentsFolder);
  CreateDirectoryW(shell_.dataFolder.c_str(), nullptr);
  if (services_.decorate) decor::SkinProgramWindows();
  // The icon goes in before the always-on-top choice is restored: under Wine, a
  // topmost state given to this window before the icon was in did not hold.
  window_.ShowTrayIcon(kTrayTip);
  // The settings file is read once; every later change is written at once.
  settings_.UseDataFolder(shell_.dataFolder);
  SavedSettings saved = settings_.Read();
  volumeRow_.Restore(saved.volume);
  alwaysOnTop_.Restore(saved.alwaysOnTop);
  savedSlotPathsForLoudness_ = saved.slotPaths;
  savedSlotPaths_ = std::move(saved.slotPaths);
}

// Once the window is up and every control exists: the shadow, docking, the banner's
// fetch, the sounds' first-start writing and the custom page's captions.
void App::FinishStartup() {
  if (services_.decorate) decor::AddMainWindowShadow(window_.Handle());
  docking_.Install(window_.Handle());
  FetchBanner();
  ExtractCatalogue(shell_.dataFolder);
  slots_.Restore(std::exchange(savedSlotPaths_, {}));
  StartHotkeys();
  StartCustomSoundExtras();
  if (services_.secondOutput) services_.secondOutput->Use(settings_.ReadSecondOutput().id);
}

// The banner is read on a worker thread: start-up goes on at once, and the picture
// appears whenever the server answers (or the box stays empty if it never does).
void App::FetchBanner() {
  banner_.Start(BannerAddress(), [this](std::vector<unsigned char> body) {
    window_.As<ui::PictureBox>(ui::kBanner).ShowImage(body);
  });
}

}  // namespace kivora
