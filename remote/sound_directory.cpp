#include "remote/sound_directory.h"

#include <array>

namespace kivora::remote {
namespace {

struct NamedAction {
  std::wstring_view name;
  RemoteCommand command;
};

const std::array<NamedAction, 6>& NamedActions() {
  static const std::array<NamedAction, 6> actions{
      NamedAction{kPauseActionName, MakeCommand(RemoteVerb::Pause)},
      NamedAction{kMuteActionName, MakeCommand(RemoteVerb::Mute)},
      NamedAction{kVolumeUpActionName, MakeCommand(RemoteVerb::VolumeStep, {}, kVolumeStep)},
      NamedAction{kVolumeDownActionName, MakeCommand(RemoteVerb::VolumeStep, {}, -kVolumeStep)},
      NamedAction{kStopAllActionName, MakeCommand(RemoteVerb::StopAll)},
      NamedAction{kMicrophoneMuteActionName, MakeCommand(RemoteVerb::MicrophoneMute)},
  };
  return actions;
}

}  // namespace

FoundSound FindSound(std::span<const SoundEntry> sounds, std::wstring_view key) {
  for (const SoundEntry& sound : sounds) {
    if (sound.name != key) continue;
    if (sound.empty) return {nullptr, Failure::EmptySlot, L"custom slot " + sound.name + L" holds no sound"};
    return {&sound, Failure::None, {}};
  }
  const SoundEntry* found = nullptr;
  std::wstring names;
  for (const SoundEntry& sound : sounds) {
    if (sound.empty || sound.caption != key) continue;
    names += (names.empty() ? L"" : L", ") + sound.name;
    if (found) continue;
    found = &sound;
  }
  if (!found) return {nullptr, Failure::UnknownSound, L"no sound is named or captioned \"" + std::wstring(key) + L"\""};
  if (names != found->name) {
    return {nullptr, Failure::Ambiguous, L"several sounds are captioned \"" + std::wstring(key) + L"\": " + names};
  }
  return {found, Failure::None, {}};
}

std::optional<RemoteCommand> ActionNamed(std::wstring_view name) {
  for (const NamedAction& action : NamedActions()) {
    if (action.name == name) return action.command;
  }
  return std::nullopt;
}

}  // namespace kivora::remote
