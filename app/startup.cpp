// The start-up sequence, run once inside the main window's created event. No step
// looks at the result of another: each runs even when an earlier one failed.
#include <windows.h>

#include "app/app.h"
#include "app/catalogue_extraction.h"
#include "custom/always_on_top.h"
#include "custom/settings_file.h"
#include "app/data_folder.h"
#include "app/shell_texts.h"
#include "decor/decorate_window.h"

namespace kivora {
namespace {

constexpr std::wstring_view kTrayTip = L"欢迎使用Kivora！";

}  // namespace

void App::RunStartupSequence() {
  ShellTexts& shell = Shell();
  shell.dataFolder = DataFolderFrom(DocumentsFolder());
  CreateDirectoryW(shell.dataFolder.c_str(), nullptr);
  decor::DecorateMainWindow(window_.Handle());
  window_.ShowTrayIcon(kTrayTip);
  ExtractCatalogue(shell.dataFolder);
  volumeRow_.RestoreVolume();
  RestoreAlwaysOnTop(window_, SettingsFilePath(shell.dataFolder));
  slots_.Restore();
}

}  // namespace kivora
