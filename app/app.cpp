#include "app/app.h"

#include "builtin/builtin_sounds.h"
#include "decor/links.h"
#include "ui/control_names.h"
#include "ui/notification_area.h"
#include "ui/page_switch.h"
#include "ui/topmost_lift.h"

namespace kivora {

using ui::MenuItem;

App::App(Services services, ShellTexts& shell)
    : services_(services),
      shell_(shell),
      remote_(settings_, services.audio),
      pushToTalk_(remote_.PlayerBackend(), services.talkKeys ? *services.talkKeys : sentTalkKeys_),
      player_(pushToTalk_),
      volumeRow_(window_, player_, settings_),
      alwaysOnTop_(window_, settings_),
      slots_(window_, player_, services.prompts, services.fileChooser, settings_,
             PickedFile{shell.pickedFilePath, shell.pickedFileName}, [this] { return volumeRow_.Volume(); }),
      hotkeys_(settings_),
      loudness_(services.fileGains ? *services.fileGains : ownGains_, settings_),
      soundShapes_(settings_),
      outputLevels_(settings_),
      microphoneWatch_([this] { return services_.secondOutput && services_.secondOutput->Microphone().Missing(); },
                       [this](const DeviceChange& change) { ShowDeviceChange(change); }) {
  ui::WindowEvents& events = window_.Events();
  events.created = [this] { PrepareFirstSight(); };
  events.completed = [this] { FinishStartup(); };
  events.destroying = [this] { Teardown(); };
  events.rightPressed = [this] { ShowMenuAtPointer(); };
  events.notificationArea = [this](int operation) { OnNotificationArea(operation); };
  events.menuItems[static_cast<size_t>(MenuItem::ExitProgram)] = [this] { ConfirmExit(); };
  events.menuItems[static_cast<size_t>(MenuItem::SponsorAuthor)] = [this] { services_.web.Open(ui::kShortLinkAddress); };
  events.menuItems[static_cast<size_t>(MenuItem::AboutProgram)] = [this] { ShowAbout(); };
  settings_.ReportFailuresTo([this](const std::wstring& file, const std::wstring& reason) { TellSettingsNotSaved(file, reason); });
}

// From the event loop: the write may come from inside a handler or a dialog's 确定.
void App::TellSettingsNotSaved(const std::wstring& file, const std::wstring& reason) {
  const std::wstring text = L"设置没有保存到文件：\n" + file + L"\n\n原因：" + reason +
                            L"\n\n这次的更改在 Kivora 关闭后会丢失。";
  window_.Post([this, text] {
    ui::ScopedTopmostLift lift(window_);
    services_.prompts.Show(text, L"设置", MB_OK | MB_ICONWARNING | MB_TASKMODAL);
  });
}

App::~App() { window_.Destroy(); }

bool App::Start(HINSTANCE instance) { return window_.Create(instance); }

int App::RunEventLoop() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The talk key Kivora holds reaches its own window too when that is in front: a
    // Space or Enter let go there would click the focused button.
    if (IsOwnTalkKeyMessage(message)) continue;
    // Dialog navigation gives Tab between controls and turns Esc into IDCANCEL.
    if (window_.Exists() && IsDialogMessageW(window_.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

void App::BindEvents() {
  window_[ui::kPageTabs].Events().clicked = [this] { ui::ApplyPageLayout(window_); };
  alwaysOnTop_.BindEvents();
  volumeRow_.BindEvents();
  BindBuiltinSoundButtons(window_, player_, shell_.dataFolder, [this] { return volumeRow_.Volume(); });
  slots_.BindEvents();
  window_[ui::kBanner].Events().rightPressed = [this] { ShowMenuAtPointer(); };
  window_[ui::kBanner].Events().leftPressed = [this] { services_.web.Open(kSponsorPageAddress); };
  // The "赞助" label opens its own address when pressed.
  window_[ui::kSponsorLink].Events().leftPressed = [this] { services_.web.Open(ui::kShortLinkAddress); };
}

void App::OnNotificationArea(int operation) {
  switch (operation) {
    case ui::kTrayDoubleClick: ui::ShowAndCentre(window_.Handle()); break;
    case ui::kTrayContextMenu: window_.ChooseMenuItem(window_.Menu().ShowFromNotificationArea(window_.Handle())); break;
    default: break;
  }
}

// Task-modal and without an owner, like every box of the program; OK only, no icon.
void App::ShowAbout() { services_.prompts.Show(kAboutText, kAboutCaption, MB_OK | MB_TASKMODAL); }

void App::ShowMenuAtPointer() { window_.ChooseMenuItem(window_.Menu().ShowAtPointer(window_.Handle())); }

}  // namespace kivora
