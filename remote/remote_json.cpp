#include "remote/remote_json.h"

#include <nlohmann/json.hpp>

#include "remote/utf8.h"

namespace kivora::remote {
namespace {

using json = nlohmann::ordered_json;

std::string Text(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

json Length(const std::optional<int64_t>& lengthMs) { return lengthMs ? json(*lengthMs) : json(nullptr); }

json StateObject(const PlaybackState& state) {
  json object{{"volume", state.volume},
              {"muted", state.muted},
              {"paused", state.paused},
              {"microphone_muted", state.microphoneMuted},
              {"playing", nullptr},
              {"devices", json::array()}};
  for (const DeviceStatus& device : state.devices) {
    object["devices"].push_back({{"role", device.role}, {"device", ToUtf8(device.device)}, {"present", device.present}});
  }
  if (state.playing) {
    object["playing"] = {{"name", ToUtf8(state.playing->name)},
                         {"caption", ToUtf8(state.playing->caption)},
                         {"position_ms", state.playing->positionMs},
                         {"length_ms", Length(state.playing->lengthMs)}};
  }
  return object;
}

json SoundObject(const SoundEntry& sound) {
  json object{{"name", ToUtf8(sound.name)}, {"caption", ToUtf8(sound.caption)}, {"page", ToUtf8(sound.page)}};
  if (sound.slot > 0) {
    object["slot"] = sound.slot;
    object["file"] = sound.empty ? json(nullptr) : json(ToUtf8(sound.file));
  } else {
    object["slot"] = nullptr;
  }
  object["empty"] = sound.empty;
  return object;
}

json Event(std::string_view kind, int64_t at) { return {{"event", kind}, {"at", at}}; }

}  // namespace

std::string StateJson(const PlaybackState& state) { return Text(StateObject(state)); }

std::string SoundsJson(std::span<const SoundEntry> sounds, std::span<const std::optional<int64_t>> lengthsMs,
                       const PlaybackState& state) {
  json list = json::array();
  for (size_t i = 0; i < sounds.size(); ++i) {
    json sound = SoundObject(sounds[i]);
    sound["length_ms"] = i < lengthsMs.size() ? Length(lengthsMs[i]) : json(nullptr);
    sound["playing"] = state.playing && state.playing->name == sounds[i].name;
    list.push_back(std::move(sound));
  }
  json actions = json::array();
  for (std::wstring_view action :
       {kPauseActionName, kMuteActionName, kVolumeUpActionName, kVolumeDownActionName, kStopAllActionName,
        kMicrophoneMuteActionName}) {
    actions.push_back(ToUtf8(action));
  }
  return Text({{"sounds", std::move(list)}, {"actions", std::move(actions)}, {"state", StateObject(state)}});
}

std::string DoneJson(std::string_view done, const PlaybackState& state, const SoundEntry* sound) {
  json object{{"ok", true}, {"done", done}};
  if (sound) {
    object["name"] = ToUtf8(sound->name);
    object["caption"] = ToUtf8(sound->caption);
  }
  object["state"] = StateObject(state);
  return Text(object);
}

std::string ErrorJson(Failure failure, std::string_view reason) {
  return Text({{"ok", false}, {"error", FailureCode(failure)}, {"reason", reason}});
}

std::string SoundEvent(std::string_view kind, const NowPlaying& sound, int64_t at) {
  json event = Event(kind, at);
  event["name"] = ToUtf8(sound.name);
  event["caption"] = ToUtf8(sound.caption);
  event["length_ms"] = Length(sound.lengthMs);
  return Text(event);
}

std::string PausedEvent(bool paused, int64_t at) {
  json event = Event("paused", at);
  event["paused"] = paused;
  return Text(event);
}

std::string VolumeEvent(int volume, int64_t at) {
  json event = Event("volume", at);
  event["volume"] = volume;
  return Text(event);
}

std::string MuteEvent(bool muted, int64_t at) {
  json event = Event("mute", at);
  event["muted"] = muted;
  return Text(event);
}

std::string MicrophoneMuteEvent(bool muted, int64_t at) {
  json event = Event("microphone_mute", at);
  event["muted"] = muted;
  return Text(event);
}

std::string SlotEvent(const SoundEntry& slot, int64_t at) {
  json event = Event(slot.empty ? "slot_cleared" : "slot_filled", at);
  event.update(SoundObject(slot));
  return Text(event);
}

std::string DeviceEvent(const DeviceStatus& status, int64_t at) {
  json event = Event(status.present ? "device_back" : "device_lost", at);
  event["role"] = status.role;
  event["device"] = ToUtf8(status.device);
  return Text(event);
}

}  // namespace kivora::remote
