// The start-up sequence, run once inside the main window's created event. No step
// looks at the result of another: each runs even when an earlier one failed.
#include <windows.h>

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

void App::RunStartupSequence() {
  shell_.dataFolder = DataFolderFrom(services_.documentsFolder.empty() ? DocumentsFolder() : services_.documentsFolder);
  CreateDirectoryW(shell_.dataFolder.c_str(), nullptr);
  FetchBanner();
  if (services_.decorate) decor::DecorateMainWindow(window_.Handle());
  window_.ShowTrayIcon(kTrayTip);
  docking_.Install(window_.Handle());
  ExtractCatalogue(shell_.dataFolder);
  // The settings file is read once; every later change is written at once.
  settings_.UseDataFolder(shell_.dataFolder);
  const SavedSettings saved = settings_.Read();
  volumeRow_.Restore(saved.volume);
  alwaysOnTop_.Restore(saved.alwaysOnTop);
  slots_.Restore(saved.slotPaths);
}

// The banner is read on a worker thread: start-up goes on at once, and the picture
// appears whenever the server answers (or the box stays empty if it never does).
void App::FetchBanner() {
  banner_.Start(BannerAddress(), [this](std::vector<unsigned char> body) {
    window_.As<ui::PictureBox>(ui::kBanner).ShowImage(body);
  });
}

}  // namespace kivora
