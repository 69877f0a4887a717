// The settings Kivora keeps, by name and type. The file is read once, at start-up,
// into SavedSettings, which answers every step of start-up, those before the window
// shows and those after; every change is written to the file at once, or, while a
// SettingsBatch is open, with the batch's other changes when it closes. A write
// that does not reach the file is logged (OutputDebugString), kept in
// FailedWrites, and told to the user once (until a write succeeds again).
// The UI thread's own.
#pragma once

#include <array>
#include <functional>
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

// Section 输出: each output's level as text (empty: missing).
struct SavedOutputLevels {
  std::wstring monitor;
  std::wstring broadcast;
};

// Section 输出: the microphone mixed into the second device, as raw text (empty: missing).
struct MicrophoneSetting {
  std::wstring id;
  std::wstring name;
  std::wstring gainDb;
  std::wstring muted;
  std::wstring duckDb;
};

// Section 输出: the key held while a sound plays, as raw text (empty: missing).
struct TalkKeySetting {
  std::wstring key;
  std::wstring leadMs;
  std::wstring tailMs;
  bool operator==(const TalkKeySetting&) const = default;
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
  MicrophoneSetting microphone;
  TalkKeySetting talkKey;
  SavedLoudness loudness;
  SavedOutputLevels outputLevels;
  RemoteSetting remote;
  // Section 热键, whose keys the hotkey rows name: the text of each key given, in
  // that order (empty: missing).
  std::vector<std::wstring> Hotkeys(const std::vector<std::wstring>& keys) const;
  // Section 声音, likewise by the sounds' keys.
  std::vector<std::wstring> SoundShapes(const std::vector<std::wstring>& keys) const;

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
  // Section 声音: one sound's text; empty takes its key out (the sound plays as it always did).
  void WriteSoundShape(const std::wstring& key, const std::wstring& text);
  // Section 输出: the two outputs' levels in percent.
  void WriteOutputLevels(int monitor, int broadcast);
  MicrophoneSetting ReadMicrophone() const;
  void WriteMicrophone(const MicrophoneSetting& microphone);
  TalkKeySetting ReadTalkKey() const;
  void WriteTalkKey(const TalkKeySetting& talkKey);
  // Section 响度.
  void WriteLoudnessMatching(bool on);
  void WriteSlotLoudness(int slot, const std::wstring& record);
  // Section 遥控: every key written.
  void WriteRemote(const RemoteSetting& remote);

  // "section\key" of each write that did not reach the file, oldest first.
  const std::vector<std::wstring>& FailedWrites() const { return failedWrites_; }
  // How many times the file has been written (or tried), each write holding one
  // change or one batch's.
  int FileWrites() const { return fileWrites_; }

  // Told the file and the reason when a write fails after the last one succeeded.
  using FailureReport = std::function<void(const std::wstring& filePath, const std::wstring& reason)>;
  void ReportFailuresTo(FailureReport report) { report_ = std::move(report); }

 private:
  friend class SettingsBatch;
  void Write(std::wstring_view section, const std::wstring& key, const std::wstring& value);
  void Remove(std::wstring_view section, const std::wstring& key);
  void Flush() noexcept;
  void Report(const std::vector<SettingChange>& changes, const SettingsWriteResult& result);

  std::wstring filePath_;
  std::vector<std::wstring> failedWrites_;
  int openBatches_ = 0;
  std::vector<SettingChange> pending_;  // written when the last batch closes
  FailureReport report_;
  int fileWrites_ = 0;
  bool failing_ = false;  // the last write failed and has been reported
};

// Holds the store's writes from its making to its end, then writes them in one
// replacement of the file: all of them reach it, or none.
class SettingsBatch {
 public:
  explicit SettingsBatch(SettingsStore& store) : store_(store) { ++store_.openBatches_; }
  ~SettingsBatch() {
    if (--store_.openBatches_ == 0) store_.Flush();
  }
  SettingsBatch(const SettingsBatch&) = delete;
  SettingsBatch& operator=(const SettingsBatch&) = delete;

 private:
  SettingsStore& store_;
};

}  // namespace kivora
