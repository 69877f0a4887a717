#include "settings/settings_store.h"

#include <windows.h>

#include <algorithm>


namespace kivora {
namespace {

std::vector<std::wstring> SlotKeys() {
  std::vector<std::wstring> keys;
  for (int slot = 1; slot <= kSoundSlotCount; ++slot) keys.push_back(SoundSlotKey(slot));
  return keys;
}

SecondOutputSetting SecondOutputIn(const SettingsDocument& document) {
  const std::vector<std::wstring> values =
      document.Read(std::wstring(kOutputSection), {std::wstring(kSecondDeviceKey), std::wstring(kSecondDeviceNameKey)});
  return {values[0], values[1]};
}

constexpr std::wstring_view kMicrophoneKeys[] = {kMicrophoneKey, kMicrophoneNameKey, kMicrophoneGainKey, kMicrophoneMutedKey,
                                                 kMicrophoneDuckKey};

MicrophoneSetting MicrophoneIn(const SettingsDocument& document) {
  std::vector<std::wstring> keys;
  for (std::wstring_view key : kMicrophoneKeys) keys.emplace_back(key);
  const std::vector<std::wstring> values = document.Read(std::wstring(kOutputSection), keys);
  return {values[0], values[1], values[2], values[3], values[4]};
}

TalkKeySetting TalkKeyIn(const SettingsDocument& document) {
  const std::vector<std::wstring> values = document.Read(
      std::wstring(kOutputSection), {std::wstring(kTalkKeyKey), std::wstring(kTalkLeadKey), std::wstring(kTalkTailKey)});
  return {values[0], values[1], values[2]};
}

SavedLoudness LoudnessIn(const SettingsDocument& document) {
  std::vector<std::wstring> keys{std::wstring(kLoudnessMatchingKey)};
  for (std::wstring& key : SlotKeys()) keys.push_back(std::move(key));
  const std::vector<std::wstring> values = document.Read(std::wstring(kLoudnessSection), keys);
  SavedLoudness saved;
  saved.matching = values[0];
  std::copy(values.begin() + 1, values.end(), saved.slotRecords.begin());
  return saved;
}

SavedOutputLevels OutputLevelsIn(const SettingsDocument& document) {
  const std::vector<std::wstring> values =
      document.Read(std::wstring(kOutputSection), {std::wstring(kMonitorLevelKey), std::wstring(kBroadcastLevelKey)});
  return {values[0], values[1]};
}

RemoteSetting RemoteIn(const SettingsDocument& document) {
  const std::vector<std::wstring> values = document.Read(
      std::wstring(kRemoteSection),
      {std::wstring(kRemoteEnabledKey), std::wstring(kRemotePortKey), std::wstring(kRemoteTokenKey)});
  return {values[0], values[1], values[2]};
}

}  // namespace

std::vector<std::wstring> SavedSettings::SoundShapes(const std::vector<std::wstring>& keys) const {
  return file.Read(std::wstring(kSoundShapesSection), keys);
}

std::vector<std::wstring> SavedSettings::Hotkeys(const std::vector<std::wstring>& keys) const {
  return file.Read(std::wstring(kHotkeysSection), keys);
}

void SettingsStore::UseDataFolder(const std::wstring& dataFolder) { filePath_ = SettingsFilePath(dataFolder); }

SavedSettings SettingsStore::Read() const {
  SavedSettings saved;
  saved.file = ReadSettingsDocument(filePath_);
  const std::vector<std::wstring> settings =
      saved.file.Read(std::wstring(kSettingsSection), {std::wstring(kVolumeKey), std::wstring(kAlwaysOnTopKey)});
  saved.volume = settings[0];
  saved.alwaysOnTop = settings[1];
  const std::vector<std::wstring> paths = saved.file.Read(std::wstring(kSoundsSection), SlotKeys());
  std::copy(paths.begin(), paths.end(), saved.slotPaths.begin());
  saved.secondOutput = SecondOutputIn(saved.file);
  saved.microphone = MicrophoneIn(saved.file);
  saved.talkKey = TalkKeyIn(saved.file);
  saved.loudness = LoudnessIn(saved.file);
  saved.outputLevels = OutputLevelsIn(saved.file);
  saved.remote = RemoteIn(saved.file);
  return saved;
}

void SettingsStore::WriteVolume(int position) {
  Write(kSettingsSection, std::wstring(kVolumeKey), std::to_wstring(position));
}

void SettingsStore::WriteAlwaysOnTop(bool onTop) {
  Write(kSettingsSection, std::wstring(kAlwaysOnTopKey), onTop ? L"1" : L"0");
}

void SettingsStore::WriteSlotPath(int slot, const std::wstring& path) { Write(kSoundsSection, SoundSlotKey(slot), path); }

void SettingsStore::WriteHotkey(const std::wstring& key, const std::wstring& text) {
  Write(kHotkeysSection, key, text);
}

SecondOutputSetting SettingsStore::ReadSecondOutput() const { return SecondOutputIn(ReadSettingsDocument(filePath_)); }

void SettingsStore::WriteSecondOutput(const SecondOutputSetting& device) {
  SettingsBatch together(*this);
  Write(kOutputSection, std::wstring(kSecondDeviceKey), device.id);
  Write(kOutputSection, std::wstring(kSecondDeviceNameKey), device.name);
}

void SettingsStore::WriteSoundShape(const std::wstring& key, const std::wstring& text) {
  if (text.empty()) return Remove(kSoundShapesSection, key);
  Write(kSoundShapesSection, key, text);
}

void SettingsStore::WriteOutputLevels(int monitor, int broadcast) {
  Write(kOutputSection, std::wstring(kMonitorLevelKey), std::to_wstring(monitor));
  Write(kOutputSection, std::wstring(kBroadcastLevelKey), std::to_wstring(broadcast));
}

MicrophoneSetting SettingsStore::ReadMicrophone() const { return MicrophoneIn(ReadSettingsDocument(filePath_)); }

void SettingsStore::WriteMicrophone(const MicrophoneSetting& microphone) {
  const std::wstring* values[] = {&microphone.id, &microphone.name, &microphone.gainDb, &microphone.muted, &microphone.duckDb};
  for (size_t i = 0; i < std::size(kMicrophoneKeys); ++i) {
    // The device is written even empty (none chosen); a number never set stays out of the file.
    if (i >= 2 && values[i]->empty()) continue;
    Write(kOutputSection, std::wstring(kMicrophoneKeys[i]), *values[i]);
  }
}

TalkKeySetting SettingsStore::ReadTalkKey() const { return TalkKeyIn(ReadSettingsDocument(filePath_)); }

void SettingsStore::WriteTalkKey(const TalkKeySetting& talkKey) {
  SettingsBatch together(*this);
  Write(kOutputSection, std::wstring(kTalkKeyKey), talkKey.key);
  Write(kOutputSection, std::wstring(kTalkLeadKey), talkKey.leadMs);
  Write(kOutputSection, std::wstring(kTalkTailKey), talkKey.tailMs);
}

void SettingsStore::WriteLoudnessMatching(bool on) {
  Write(kLoudnessSection, std::wstring(kLoudnessMatchingKey), on ? L"1" : L"0");
}

void SettingsStore::WriteSlotLoudness(int slot, const std::wstring& record) {
  Write(kLoudnessSection, SoundSlotKey(slot), record);
}

void SettingsStore::WriteRemote(const RemoteSetting& remote) {
  Write(kRemoteSection, std::wstring(kRemoteEnabledKey), remote.enabled);
  Write(kRemoteSection, std::wstring(kRemotePortKey), remote.port);
  Write(kRemoteSection, std::wstring(kRemoteTokenKey), remote.token);
}

void SettingsStore::Write(std::wstring_view section, const std::wstring& key, const std::wstring& value) {
  pending_.push_back({std::wstring(section), key, value});
  if (openBatches_ == 0) Flush();
}

// The one place the file is written, and the one place a failed write goes.
// A batch closes in a destructor: nothing may escape from here.
void SettingsStore::Flush() noexcept {
  if (pending_.empty()) return;
  std::vector<SettingChange> changes;
  changes.swap(pending_);
  ++fileWrites_;
  try {
    Report(changes, WriteSettings(filePath_, changes));
  } catch (...) {
    OutputDebugStringW(L"Kivora: settings could not be saved (out of memory)\n");
  }
}

void SettingsStore::Report(const std::vector<SettingChange>& changes, const SettingsWriteResult& result) {
  if (result.AllWritten()) {
    failing_ = false;
    return;
  }
  const std::wstring reason = WriteProblemText(result);
  for (size_t index = 0; index < changes.size(); ++index) {
    const bool refused = std::find(result.refused.begin(), result.refused.end(), index) != result.refused.end();
    if (!refused && result.problem == SettingsWriteResult::Problem::kNone) continue;
    std::wstring where = changes[index].section + L"\\" + changes[index].key;
    OutputDebugStringW((L"Kivora: the setting " + where + L" was not saved to " + filePath_ + L": " + reason + L"\n").c_str());
    failedWrites_.push_back(std::move(where));
  }
  if (failing_) return;
  failing_ = true;
  if (report_) report_(filePath_, reason);
}

void SettingsStore::Remove(std::wstring_view section, const std::wstring& key) {
  pending_.push_back({std::wstring(section), key, std::nullopt});
  if (openBatches_ == 0) Flush();
}

}  // namespace kivora
