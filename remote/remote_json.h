// The JSON the control server and the command line answer with, and the events
// pushed to WebSocket clients: one object per answer or event, UTF-8. Pure code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "remote/remote_command.h"
#include "remote/sound_directory.h"

namespace kivora::remote {

struct NowPlaying {
  std::wstring name;
  std::wstring caption;
  int64_t positionMs = 0;
  std::optional<int64_t> lengthMs;
};

// A device of the broadcast path the user chose, as last seen.
struct DeviceStatus {
  std::string role;     // kBroadcastRole or kMicrophoneRole
  std::wstring device;  // its name
  bool present = true;  // taken as there until it is found missing
  bool operator==(const DeviceStatus&) const = default;
};
inline constexpr std::string_view kBroadcastRole = "broadcast";    // the output chosen under 输出
inline constexpr std::string_view kMicrophoneRole = "microphone";  // the microphone mixed into it

struct PlaybackState {
  int volume = 100;
  bool muted = false;
  bool paused = false;
  bool microphoneMuted = false;
  std::optional<NowPlaying> playing;  // a sound that has not ended yet
  std::vector<DeviceStatus> devices;  // the chosen devices of the broadcast path
};

// GET /state and --state.
std::string StateJson(const PlaybackState& state);
// GET /sounds and --list: every sound with its length (nothing: unknown) and
// whether it plays, the action names, and the state.
std::string SoundsJson(std::span<const SoundEntry> sounds, std::span<const std::optional<int64_t>> lengthsMs,
                       const PlaybackState& state);

// {"ok": true, "done": <done>, ...}: what was done, once it is done.
std::string DoneJson(std::string_view done, const PlaybackState& state, const SoundEntry* sound = nullptr);
// {"ok": false, "error": <code>, "reason": <reason>}
std::string ErrorJson(Failure failure, std::string_view reason);

// Events. at: the performance counter when the change happened, so a client can
// measure how long the event took to reach it.
std::string SoundEvent(std::string_view kind, const NowPlaying& sound, int64_t at);  // played, ended, cut_off
std::string PausedEvent(bool paused, int64_t at);
std::string VolumeEvent(int volume, int64_t at);
std::string MuteEvent(bool muted, int64_t at);
std::string MicrophoneMuteEvent(bool muted, int64_t at);  // microphone_mute
std::string SlotEvent(const SoundEntry& slot, int64_t at);  // a slot filled or cleared
// A device of the broadcast path went (device_lost) or came back (device_back).
std::string DeviceEvent(const DeviceStatus& status, int64_t at);

}  // namespace kivora::remote
