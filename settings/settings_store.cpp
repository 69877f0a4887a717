#include "settings/settings_store.h"

#include <windows.h>

#include "settings/settings_file.h"

namespace kivora {

void SettingsStore::UseDataFolder(const std::wstring& dataFolder) { filePath_ = SettingsFilePath(dataFolder); }

SavedSettings SettingsStore::Read() const {
  const SettingsDocument document = ReadSettingsDocument(filePath_);
  SavedSettings saved;
  saved.volume = document.Read(std::wstring(kSettingsSection), std::wstring(kVolumeKey));
  saved.alwaysOnTop = document.Read(std::wstring(kSettingsSection), std::wstring(kAlwaysOnTopKey));
  for (int slot = 1; slot <= kSoundSlotCount; ++slot) {
    saved.slotPaths[static_cast<size_t>(slot - 1)] = document.Read(std::wstring(kSoundsSection), SoundSlotKey(slot));
  }
  return saved;
}

void SettingsStore::WriteVolume(int position) {
  Write(kSettingsSection, std::wstring(kVolumeKey), std::to_wstring(position));
}

void SettingsStore::WriteAlwaysOnTop(bool onTop) {
  Write(kSettingsSection, std::wstring(kAlwaysOnTopKey), onTop ? L"1" : L"0");
}

void SettingsStore::WriteSlotPath(int slot, const std::wstring& path) { Write(kSoundsSection, SoundSlotKey(slot), path); }

// The one place a failed write goes: the user is not told, a debugger and the tests are.
void SettingsStore::Write(std::wstring_view section, const std::wstring& key, const std::wstring& value) {
  if (WriteSetting(filePath_, std::wstring(section), key, value)) return;
  std::wstring where = std::wstring(section) + L"\\" + key;
  OutputDebugStringW((L"Kivora: the setting " + where + L" was not saved to " + filePath_ + L"\n").c_str());
  failedWrites_.push_back(std::move(where));
}

}  // namespace kivora
