// What a controller asks of Kivora, however it arrives (an HTTP request, or the
// command line handed over by a second process), and how a refusal is told: each
// failure has its HTTP status and its exit code. Pure code.
#pragma once

#include <string>
#include <string_view>

namespace kivora::remote {

enum class RemoteVerb {
  Play,        // a sound or an action, by name or caption
  Stop,        // the sound the player holds stops
  StopAll,     // every sound stops, with the engine's fade
  Pause,       // 停止播放: pause or resume, as 按钮21's click
  Mute,        // 静音: as 按钮22's click, or only when the state differs
  VolumeStep,  // 音量加 / 音量减: the slider's page keys
  Volume,      // the slider to a position 0..100
  State,
  Sounds,
  MicrophoneMute,  // 麦克风静音: as its hotkey, or only when the state differs
};
inline constexpr RemoteVerb kLastRemoteVerb = RemoteVerb::MicrophoneMute;

enum class MuteChoice { Toggle, On, Off };

struct RemoteCommand {
  RemoteVerb verb = RemoteVerb::State;
  std::wstring name;  // Play
  int value = 0;      // Volume: 0..100; VolumeStep: +5 or -5
  MuteChoice mute = MuteChoice::Toggle;  // Mute, MicrophoneMute
  bool operator==(const RemoteCommand&) const = default;
};

inline RemoteCommand MakeCommand(RemoteVerb verb, std::wstring name = {}, int value = 0,
                                 MuteChoice mute = MuteChoice::Toggle) {
  return RemoteCommand{verb, std::move(name), value, mute};
}

// Whether a command is one the commands' readers could have made: a name to play,
// a volume in 0..100, a step of at most 100.
bool Acceptable(const RemoteCommand& command);

enum class Failure {
  None,
  BadValue,       // a malformed request or argument
  UnknownSound,   // no sound has that name or caption
  Ambiguous,      // several sounds share that caption
  EmptySlot,      // the custom slot holds no file
  Muted,          // the slider takes no input while muted
  NotRunning,     // no running Kivora to hand the command to
  Busy,           // the window did not get to the command in time
  Unauthorized,   // no token, or the wrong one
  Forbidden,      // a Host or Origin the server does not serve
  NoSuchPath,
  WrongMethod,
  TooLarge,
};

int HttpStatus(Failure failure);
int ExitCode(Failure failure);
// The machine-readable word a JSON error carries ("unknown_sound", ...).
std::string_view FailureCode(Failure failure);

// The names of the actions, as section 热键 keys them, and 全部停止.
inline constexpr std::wstring_view kPauseActionName = L"停止播放";
inline constexpr std::wstring_view kMuteActionName = L"静音";
inline constexpr std::wstring_view kVolumeUpActionName = L"音量加";
inline constexpr std::wstring_view kVolumeDownActionName = L"音量减";
inline constexpr std::wstring_view kStopAllActionName = L"全部停止";
inline constexpr std::wstring_view kMicrophoneMuteActionName = L"麦克风静音";
// As the slider's page keys move it.
inline constexpr int kVolumeStep = 5;

}  // namespace kivora::remote
