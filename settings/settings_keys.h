// Every section and key name of the settings file, in one place.
#pragma once

#include <string>
#include <string_view>

namespace kivora {

inline constexpr std::wstring_view kSettingsFileName = L"设置.ini";

inline constexpr std::wstring_view kSettingsSection = L"设置";
inline constexpr std::wstring_view kVolumeKey = L"音量";
inline constexpr std::wstring_view kAlwaysOnTopKey = L"最前";

inline constexpr std::wstring_view kSoundsSection = L"音效";
inline constexpr int kSoundSlotCount = 20;

// One key per hotkey row: the button's layout name, or one of the action keys below.
inline constexpr std::wstring_view kHotkeysSection = L"热键";
inline constexpr std::wstring_view kPauseHotkeyKey = L"停止播放";
inline constexpr std::wstring_view kMuteHotkeyKey = L"静音";
inline constexpr std::wstring_view kVolumeUpHotkeyKey = L"音量加";
inline constexpr std::wstring_view kVolumeDownHotkeyKey = L"音量减";
inline constexpr std::wstring_view kMicrophoneMuteHotkeyKey = L"麦克风静音";

// The device every sound also plays on: its endpoint ID and its friendly name.
inline constexpr std::wstring_view kOutputSection = L"输出";
inline constexpr std::wstring_view kSecondDeviceKey = L"第二设备";
inline constexpr std::wstring_view kSecondDeviceNameKey = L"第二设备名称";
// Section 输出 too: the level of each output in percent, 0..100 (missing: 100).
inline constexpr std::wstring_view kMonitorLevelKey = L"耳机音量";
inline constexpr std::wstring_view kBroadcastLevelKey = L"直播音量";

// How each sound plays (level, second press, fades, trim): one key per sound by
// its button's layout name, missing while the sound plays as it always did.
inline constexpr std::wstring_view kSoundShapesSection = L"声音";
// The microphone mixed into the second device's sound: its endpoint ID and name,
// its gain in dB (-20..20), whether it is muted (1/0), and by how many dB it is
// lowered while a sound plays (0 or missing: not at all).
inline constexpr std::wstring_view kMicrophoneKey = L"麦克风";
inline constexpr std::wstring_view kMicrophoneNameKey = L"麦克风名称";
inline constexpr std::wstring_view kMicrophoneGainKey = L"麦克风增益";
inline constexpr std::wstring_view kMicrophoneMutedKey = L"麦克风静音";
inline constexpr std::wstring_view kMicrophoneDuckKey = L"压低麦克风";
// The key held down while a sound plays (a voice chat's talk key, as section 热键
// writes keys), how many ms before the sound it goes down, and how many ms after
// the last sound it comes up.
inline constexpr std::wstring_view kTalkKeyKey = L"按住键";
inline constexpr std::wstring_view kTalkLeadKey = L"提前";
inline constexpr std::wstring_view kTalkTailKey = L"延后";

// Key of sound slot n (1..20) in kSoundsSection: "按钮" followed by n.
inline std::wstring SoundSlotKey(int n) { return L"按钮" + std::to_wstring(n); }

// Loudness matching of the custom sounds: on or off, and per slot the last
// measurement with the size and time of the file it was made on.
inline constexpr std::wstring_view kLoudnessSection = L"响度";
inline constexpr std::wstring_view kLoudnessMatchingKey = L"均衡";

// Remote control: the local control server on or off, its port, and the token
// every request must carry.
inline constexpr std::wstring_view kRemoteSection = L"遥控";
inline constexpr std::wstring_view kRemoteEnabledKey = L"开启";
inline constexpr std::wstring_view kRemotePortKey = L"端口";
inline constexpr std::wstring_view kRemoteTokenKey = L"令牌";

}  // namespace kivora
