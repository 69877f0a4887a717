#include "custom/custom_slots.h"

#include <windows.h>
#include <shlobj.h>

#include "app/gbk_text.h"
#include "app/shell_texts.h"
#include "audio/sound_button.h"
#include "custom/always_on_top.h"
#include "custom/display_name.h"
#include "custom/settings_file.h"

namespace kivora {
namespace {

constexpr std::wstring_view kSoundsSection = L"音效";
constexpr std::wstring_view kReminder = L"提醒";
constexpr std::wstring_view kDialogFilter = L"MP3文件（*.mp3)|*.mp3";
constexpr std::wstring_view kDialogTitle = L"导入MP3...";
constexpr int kFirstSlotKeepingItsFilter = 18;  // 按钮18..按钮20 replace without setting the filter
// The boxes have no owner; task-modal keeps every window of the program from
// taking input while one is open, so no other handler can start underneath it.
constexpr UINT kTellBox = MB_OK | MB_TASKMODAL;
constexpr UINT kAskBox = MB_YESNO | MB_TASKMODAL;

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE)) return {};
  std::wstring folder = path;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

// A stored 8.3 path shows the name the user knows, not its short form.
std::wstring LongFormOf(const std::wstring& path) {
  if (path.find(L'~') == std::wstring::npos) return path;
  std::wstring longPath(32768, L'\0');
  DWORD length = GetLongPathNameW(path.c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
  if (length == 0 || length >= longPath.size()) return path;
  longPath.resize(length);
  return longPath;
}

}  // namespace

CustomSlots::CustomSlots(ui::MainWindow& window, audio::Player& player, ui::UserPrompts& prompts,
                         FileChooser& chooser, const std::wstring& dataFolder)
    : window_(window), player_(player), prompts_(prompts), chooser_(chooser), dataFolder_(dataFolder) {}

void CustomSlots::BindEvents() {
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    ui::ControlEvents& events = Button(slot).Events();
    events.clicked = [this, slot] { OnClick(slot); };
    events.doubleClicked = [this, slot] { OnReplace(slot); };
    events.rightPressed = [this, slot] { OnClear(slot); };
  }
  window_.Events().menuItems[static_cast<size_t>(ui::MenuItem::ClearSounds)] = [this] { OnClearAll(); };
}

ui::Control& CustomSlots::Button(int slot) const { return window_[ui::CustomSlotName(slot)]; }

std::wstring CustomSlots::SettingsPath() const { return SettingsFilePath(dataFolder_); }

bool CustomSlots::ChooseSoundFile(bool setFilter) {
  dialog_.initialFolder = DesktopFolder();
  if (setFilter) dialog_.filter = kDialogFilter;
  dialog_.title = kDialogTitle;
  return chooser_.Show(dialog_);
}

// The settings file is GBK: a path it cannot hold would come back broken after a
// restart. Such a file is kept by its 8.3 short path when the file system has one.
std::wstring CustomSlots::StorablePath(const std::wstring& chosen) {
  if (FitsGbk(chosen)) return chosen;
  std::wstring shortPath(32768, L'\0');
  DWORD length = GetShortPathNameW(chosen.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  if (length > 0 && length < shortPath.size()) {
    shortPath.resize(length);
    if (FitsGbk(shortPath)) return shortPath;
  }
  return {};
}

void CustomSlots::Assign(int slot) {
  ShellTexts& shell = Shell();
  const std::wstring stored = StorablePath(dialog_.fileName);
  if (stored.empty()) {
    LiftAlwaysOnTop(window_);
    prompts_.Show(L"无法保存这个文件的名字（含有无法保存的字符），请把文件改名后再添加。", kReminder, kTellBox);
    ReapplyAlwaysOnTopIfTicked(window_);
    return;
  }
  shell.pickedFilePath = dialog_.fileName;
  shell.pickedFileName = DisplayNameOf(shell.pickedFilePath);
  Button(slot).SetCaption(shell.pickedFileName);
  WriteSetting(SettingsPath(), std::wstring(kSoundsSection), ui::CustomSlotName(slot), stored);
  LiftAlwaysOnTop(window_);
  prompts_.Show(L"自定义音效完成！", kReminder, kTellBox);
  ReapplyAlwaysOnTopIfTicked(window_);
}

void CustomSlots::OnClick(int slot) {
  if (Button(slot).Caption() == ui::kEmptySlotCaption) {
    if (ChooseSoundFile(true)) Assign(slot);
    return;
  }
  audio::OpenAndPlay(window_, player_, ReadSetting(SettingsPath(), std::wstring(kSoundsSection), ui::CustomSlotName(slot)));
}

void CustomSlots::OnReplace(int slot) {
  // The first click of the double-click started the slot's sound; this pauses it.
  player_.PauseToggle();
  if (ChooseSoundFile(slot < kFirstSlotKeepingItsFilter)) Assign(slot);
}

void CustomSlots::OnClear(int slot) {
  LiftAlwaysOnTop(window_);
  const std::wstring caption = Button(slot).Caption();
  if (caption != ui::kEmptySlotCaption) {
    int answer = prompts_.Show(L"你确定要清空<" + caption + L">按钮吗？", kReminder, kAskBox);
    if (answer == IDYES) {
      player_.PauseToggle();
      WriteSetting(SettingsPath(), std::wstring(kSoundsSection), ui::CustomSlotName(slot), L"");
      Button(slot).SetCaption(ui::kEmptySlotCaption);
      ReapplyAlwaysOnTopIfTicked(window_);
    }
  }
  ReapplyAlwaysOnTopIfTicked(window_);
}

void CustomSlots::OnClearAll() {
  LiftAlwaysOnTop(window_);
  player_.PauseToggle();  // before the question, so it takes effect whatever the answer
  if (prompts_.Show(L"你确定要清空所有按钮吗？", kReminder, kAskBox) == IDYES) {
    const std::wstring settings = SettingsPath();
    for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
      WriteSetting(settings, std::wstring(kSoundsSection), ui::CustomSlotName(slot), L"");
    }
    for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) Button(slot).SetCaption(ui::kEmptySlotCaption);
    ReapplyAlwaysOnTopIfTicked(window_);
  }
  ReapplyAlwaysOnTopIfTicked(window_);
}

void CustomSlots::Restore() {
  const std::wstring settings = SettingsPath();
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    const std::wstring path = ReadSetting(settings, std::wstring(kSoundsSection), ui::CustomSlotName(slot));
    if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    const std::wstring name = DisplayNameOf(LongFormOf(path));
    if (name.empty()) continue;
    Button(slot).SetCaption(name);
  }
}

}  // namespace kivora
