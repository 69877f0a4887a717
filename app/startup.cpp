// The start-up sequence, in two halves around the main window's first showing. No
// step looks at the result of another: each runs even when an earlier one failed.
#include <windows.h>

#include "app/app.h"
#include "app/catalogue_extraction.h"
#include "app/data_folder.h"
#include "app/gdiplus_session.h"
#include "decor/decorate_window.h"
#include "decor/links.h"
#include "ui/control_names.h"

namespace kivora {
namespace {

constexpr std::wstring_view kTrayTip = L"欢迎使用Kivora！";

}  // namespace

void App::RunStartupSteps(std::initializer_list<StartupStep> steps) {
  for (const StartupStep& step : steps) {
    step.run();
    if (services_.startupStepEnded) services_.startupStepEnded(step.name);
  }
}

// Before the window first shows, with the controls in first sight: only what the
// first picture holds, the skin and the restored volume and always-on-top choice.
void App::PrepareFirstSight() {
  RunStartupSteps({
      {"data folder", [this] {
         shell_.dataFolder =
             DataFolderFrom(services_.documentsFolder.empty() ? DocumentsFolder() : services_.documentsFolder);
         CreateDirectoryW(shell_.dataFolder.c_str(), nullptr);
       }},
      {"skin", [this] { if (services_.decorate) decor::SkinProgramWindows(); }},
      // The settings file is read once; every later change is written at once.
      {"settings read", [this] {
         settings_.UseDataFolder(shell_.dataFolder);
         saved_ = settings_.Read();
       }},
      {"volume and always-on-top restored", [this] {
         volumeRow_.Restore(saved_.volume);
         alwaysOnTop_.Restore(saved_.alwaysOnTop);
       }},
  });
}

// Once the window is up and every control exists: the controls' handlers, the
// notification-area icon, GDI+ and the shadow, docking, the banner's fetch, the
// sounds' first-start writing, the custom page's captions and what hangs on them,
// and the second output.
void App::FinishStartup() {
  RunStartupSteps({
      {"events bound", [this] { BindEvents(); }},
      {"tray icon", [this] { window_.ShowTrayIcon(kTrayTip); }},
      {"GDI+ and shadow", [this] {
         StartGdiplusOnce();
         if (services_.decorate) decor::AddMainWindowShadow(window_.Handle());
       }},
      {"docking", [this] { docking_.Install(window_.Handle()); }},
      {"banner fetch started", [this] { FetchBanner(); }},
      {"catalogue extraction", [this] { ExtractCatalogue(shell_.dataFolder); }},
      {"custom captions", [this] { slots_.Restore(saved_.slotPaths); }},
      {"hotkeys", [this] { StartHotkeys(); }},
      {"loudness and file drops", [this] { StartCustomSoundExtras(); }},
      {"second output", [this] {
         if (!services_.secondOutput) return;
         // Its notices are balloons on the notification-area icon: the broadcaster is live.
         services_.secondOutput->TellThrough(
             window_.Handle(), ui::kNoticeMessage,
             [this](const std::wstring& text) { window_.Tray().ShowBalloon(kBroadcastBalloonTitle, text); },
             [this](const DeviceChange& change) { ShowDeviceChange(change); });
         window_.Events().noticePosted = [this] { services_.secondOutput->TakeNotices(); };
         UseBroadcastDevice(saved_.secondOutput.id, saved_.secondOutput.name);
         UseMicrophone(saved_.microphone);
       }},
      {"sound shapes and output levels", [this] {
         // Each press plays its sound as the user shaped it; each output at its own level.
         player_.SetPressShapes([this](const std::wstring& key) { return PressOf(soundShapes_.Of(key)); });
         outputLevels_.Watch([this](OutputLevelPair levels) {
           if (services_.secondOutput) services_.secondOutput->SetLevels(levels);
         });
         soundShapes_.Restore(ShapedSounds(), saved_);
         outputLevels_.Restore(saved_.outputLevels);
       }},
      {"remote control", [this] { StartRemote(); }},
      {"talk key", [this] { pushToTalk_.Use(TalkKeyValuesOf(saved_.talkKey)); }},
      {"microphone watch", [this] { microphoneWatch_.Use(saved_.microphone.id, saved_.microphone.name); }},
  });
  saved_ = {};
}

// The banner is read on a worker thread: start-up goes on at once, and the picture
// appears whenever the server answers (or the box stays empty if it never does).
void App::FetchBanner() {
  banner_.Start(BannerAddress(), [this](std::vector<unsigned char> body) {
    window_.As<ui::PictureBox>(ui::kBanner).ShowImage(body);
  });
}

}  // namespace kivora
