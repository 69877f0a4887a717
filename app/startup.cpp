// The start-up sequence, run once inside the main window's created event. No step
// looks at the result of another: each runs even when an earlier one failed.
#include <windows.h>

#include "app/app.h"
#include "app/catalogue_extraction.h"
#include "custom/always_on_top.h"
#include "custom/settings_file.h"
#include "app/data_folder.h"
#include "app/shell_texts.h"
#include "decor/links.h"

namespace kivora {
namespace {

constexpr std::wstring_view kTrayTip = L"欢迎使用Kivora！";

}  // namespace

void App::RunStartupSequence() {
  ShellTexts& shell = Shell();
  shell.dataFolder = DataFolderFrom(DocumentsFolder());
  CreateDirectoryW(shell.dataFolder.c_str(), nullptr);
  FetchBanner();
  window_.ShowTrayIcon(kTrayTip);
  ExtractCatalogue(shell.dataFolder);
  volumeRow_.RestoreVolume();
  RestoreAlwaysOnTop(window_, SettingsFilePath(shell.dataFolder));
  slots_.Restore();
}

// The banner is read on a worker thread: start-up goes on at once, and the picture
// appears whenever the server answers (or the box stays empty if it never does).
void App::FetchBanner() {
  banner_.Start(BannerAddress(), [this](std::vector<unsigned char> body) { window_[L"图片框1"].ShowImage(body); });
}

}  // namespace kivora
