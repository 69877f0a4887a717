// The settings Kivora keeps, by name and type. The file is read once, at start-up,
// into SavedSettings, which answers every step of start-up, those before the window
// shows and those after; every change is written to the file at once. A write that
// does not reach the file is not shown to the user, but it is logged
// (OutputDebugString) and kept in FailedWrites, where tests can see it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "settings/settings_keys.h"

namespace kivora {

// Section 输出: the second output device kept (both empty: none).
struct SecondOutputSetting {
  std::wstring id;
  std::wstring name;
};

// Section 响度: the key 均衡 (empty: missing) and each slot's measurement record.
struct SavedLoudness {
  std::wstring matching;
  std::array<std::wstring, kSoundSlotCount> slotRecords;  // index 0 is slot 1
};

// Section 遥控, as raw text (empty: missing).
struct RemoteSetting {
  std::wstring enabled;
  std::wstring port;
  std::wstring token;
};

// What the settings file held when it was read, as raw text (empty: missing).
struct SavedSettings {
  std::wstring volume;
  std::wstring alwaysOnTop;
  std::array<std::wstring, kSoundSlotCount> slotPaths;  // index 0 is slot 1
  SecondOutputSetting secondOutput;
  SavedLoudness loudness;
  RemoteSetting remote;
  // Section 热键, whose keys the hotkey rows name: the text of each key given, in
  // that order (empty: missing).
  std::vector<std::wstring> Hotkeys(const std::vector<std::wstring>& keys) const;

  SettingsDocument file;  // the bytes as read
};

class SettingsStore {
 public:
  // The settings file inside dataFolder, which ends in a backslash.
  void UseDataFolder(const std::wstring& dataFolder);
  const std::wstring& FilePath() const { return filePath_; }

  // Reads the whole file once and picks out every key Kivora uses.
  SavedSettings Read() const;

  void WriteVolume(int position);
  void WriteAlwaysOnTop(bool onTop);
  void WriteSlotPath(int slot, const std::wstring& path);  // an empty path empties the slot

  // Section 热键: one row's text written (empty: no hotkey).
  void WriteHotkey(const std::wstring& key, const std::wstring& text);

  SecondOutputSetting ReadSecondOutput() const;
  void WriteSecondOutput(const SecondOutputSetting& device);
  // Section 响度.
  void WriteLoudnessMatching(bool on);
  void WriteSlotLoudness(int slot, const std::wstring& record);
  // Section 遥控: every key written.
  void WriteRemote(const RemoteSetting& remote);

  // "section\key" of each write that did not reach the file, oldest first.
  const std::vector<std::wstring>& FailedWrites() const { return failedWrites_; }

 private:
  void Write(std::wstring_view section, const std::wstring& key, const std::wstring& value);

  std::wstring filePath_;
  std::vector<std::wstring> failedWrites_;
};

}  // namespace kivora
