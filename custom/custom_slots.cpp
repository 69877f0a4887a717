#include "custom/custom_slots.h"

#include <windows.h>
#include <shlobj.h>

#include "base/gbk_text.h"
#include "base/long_path.h"
#include "custom/display_name.h"
#include "custom/drop_placement.h"
#include "custom/sound_file_check.h"
#include "ui/topmost_lift.h"

namespace kivora {
namespace {

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

// The settings file is GBK: a path it cannot hold would come back broken after a
// restart. Such a file is kept by its 8.3 short path when the file system has one.
std::wstring StorablePath(const std::wstring& chosen) {
  if (FitsGbk(chosen)) return chosen;
  std::wstring shortPath(32768, L'\0');
  DWORD length = GetShortPathNameW(chosen.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  if (length > 0 && length < shortPath.size()) {
    shortPath.resize(length);
    if (FitsGbk(shortPath)) return shortPath;
  }
  return {};
}

}  // namespace

static_assert(ui::kCustomSlotCount == kSoundSlotCount, "one settings key per custom slot");
static_assert(ui::kCustomSlotCount == kDropSlotCount, "a dropped file can go to every slot");

bool CustomSlots::Slot::Filled() const { return caption != ui::kEmptySlotCaption; }

CustomSlots::CustomSlots(ui::MainWindow& window, audio::Player& player, ui::UserPrompts& prompts,
                         FileChooser& chooser, SettingsStore& settings, PickedFile picked,
                         std::function<int()> currentVolume)
    : window_(window),
      player_(player),
      prompts_(prompts),
      chooser_(chooser),
      settings_(settings),
      picked_(picked),
      currentVolume_(std::move(currentVolume)) {
  for (Slot& slot : slots_) slot.caption = ui::kEmptySlotCaption;
}

void CustomSlots::BindEvents() {
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    ui::ControlEvents& events = window_[ui::CustomSlotName(slot)].Events();
    events.clicked = [this, slot] { OnClick(slot); };
    events.doubleClicked = [this, slot] { OnReplace(slot); };
    events.rightPressed = [this, slot] { OnClear(slot); };
  }
  window_.Events().menuItems[static_cast<size_t>(ui::MenuItem::ClearSounds)] = [this] { OnClearAll(); };
}

void CustomSlots::Show(int slot, Slot content) {
  window_[ui::CustomSlotName(slot)].SetCaption(content.caption);
  At(slot) = std::move(content);
}

bool CustomSlots::ChooseSoundFile(bool setFilter) {
  dialog_.initialFolder = DesktopFolder();
  if (setFilter) dialog_.filter = kDialogFilter;
  dialog_.title = kDialogTitle;
  return chooser_.Show(dialog_);
}

void CustomSlots::Assign(int slot) {
  const std::wstring stored = StorablePath(dialog_.fileName);
  if (stored.empty()) {
    ui::ScopedTopmostLift lift(window_);
    prompts_.Show(L"无法保存这个文件的名字（含有无法保存的字符），请把文件改名后再添加。", kReminder, kTellBox);
    return;
  }
  if (const SoundFileProblem problem = CheckSoundFile(dialog_.fileName); problem != SoundFileProblem::kNone) {
    ui::ScopedTopmostLift lift(window_);
    prompts_.Show(L"“" + FileNameOf(dialog_.fileName) + L"”不能播放：" + SoundFileProblemText(problem) +
                      L"。\n这个按钮保持原样。",
                  kReminder, kTellBox);
    return;
  }
  picked_.path = dialog_.fileName;
  picked_.name = DisplayNameOf(picked_.path);
  Show(slot, {stored, picked_.name});
  settings_.WriteSlotPath(slot, stored);
  Changed(slot);
  ui::ScopedTopmostLift lift(window_);
  prompts_.Show(L"自定义音效完成！", kReminder, kTellBox);
}

void CustomSlots::Changed(int slot) {
  if (watchers_.changed) watchers_.changed(slot, At(slot).path);
}

void CustomSlots::OnDrop(const std::vector<std::wstring>& files, int slotUnderPointer) {
  if (files.empty()) return;
  if (files.size() == 1 && slotUnderPointer > 0 && IsSoundFileName(files.front())) {
    dialog_.fileName = files.front();
    Assign(slotUnderPointer);
    return;
  }
  std::array<bool, kDropSlotCount> filled{};
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) filled[static_cast<size_t>(slot - 1)] = At(slot).Filled();
  auto playable = [](const std::wstring& file) { return CheckSoundFile(file) == SoundFileProblem::kNone; };
  const DropPlacement placement =
      PlaceDroppedFiles(files, filled, slotUnderPointer > 0 ? slotUnderPointer : 1, StorablePath, playable);
  for (const DroppedFilePlace& place : placement.placed) {
    Show(place.slot, {place.stored, DisplayNameOf(place.path)});
    settings_.WriteSlotPath(place.slot, place.stored);
    Changed(place.slot);
  }
  ui::ScopedTopmostLift lift(window_);
  prompts_.Show(DropSummary(placement), kReminder, kTellBox);
}

void CustomSlots::OnClick(int slot) {
  if (!At(slot).Filled()) {
    if (ChooseSoundFile(true)) Assign(slot);
    return;
  }
  if (watchers_.playing) watchers_.playing(slot);
  player_.Press(ui::CustomSlotName(slot), At(slot).path, currentVolume_());
}

void CustomSlots::OnReplace(int slot) {
  // The first click of the double-click started the slot's sound; this pauses it.
  player_.PauseToggle();
  if (ChooseSoundFile(slot < kFirstSlotKeepingItsFilter)) Assign(slot);
}

void CustomSlots::OnClear(int slot) {
  ui::ScopedTopmostLift lift(window_);
  if (!At(slot).Filled()) return;
  if (prompts_.Show(L"你确定要清空<" + At(slot).caption + L">按钮吗？", kReminder, kAskBox) != IDYES) return;
  player_.PauseToggle();
  settings_.WriteSlotPath(slot, L"");
  Show(slot, {L"", std::wstring(ui::kEmptySlotCaption)});
  Changed(slot);
}

void CustomSlots::OnClearAll() {
  ui::ScopedTopmostLift lift(window_);
  player_.PauseToggle();  // before the question, so it takes effect whatever the answer
  if (prompts_.Show(L"你确定要清空所有按钮吗？", kReminder, kAskBox) != IDYES) return;
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) settings_.WriteSlotPath(slot, L"");
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    Show(slot, {L"", std::wstring(ui::kEmptySlotCaption)});
    Changed(slot);
  }
}

void CustomSlots::Restore(const std::array<std::wstring, kSoundSlotCount>& savedPaths) {
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    const std::wstring& path = savedPaths[static_cast<size_t>(slot - 1)];
    if (path.empty() || GetFileAttributesW(ExtendedLengthPath(path).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    std::wstring name = DisplayNameOf(LongFormOf(path));
    if (name.empty()) continue;
    Show(slot, {path, std::move(name)});
  }
}

}  // namespace kivora
