#include "second_output/second_output.h"

#include <shlwapi.h>

#include "audio/device/wasapi_output.h"
#include "second_output/microphone_values.h"

namespace kivora {

std::wstring BroadcastMissingText(const std::wstring& deviceName) {
  return L"直播输出设备 " + deviceName + L" 未连接，声音只在默认设备上播放";
}

std::wstring BroadcastBackText(const std::wstring& deviceName) {
  return L"直播输出设备 " + deviceName + L" 已连接，声音重新同时在它上面播放";
}

std::wstring DefaultDeviceOnlyText(const std::wstring& path) {
  return std::wstring(L"“") + PathFindFileNameW(path.c_str()) + L"” 的格式只能在默认设备上播放，直播输出设备听不到它";
}

void SecondOutput::NoticeBox::Put(std::variant<std::wstring, DeviceChange> notice) {
  std::lock_guard lock(mutex);
  waiting.push_back(std::move(notice));
  if (window) PostMessageW(window, message, 0, 0);
}

SecondOutput::SecondOutput(audio::SoundEngine& engine, DeviceMaker makeDevice, audio::FillPolicy pace)
    : engine_(engine), makeDevice_(std::move(makeDevice)), microphone_(std::make_shared<audio::MicrophoneSource>(pace)) {
  if (!makeDevice_) {
    makeDevice_ = [](const std::wstring& endpointId) {
      return std::make_shared<audio::WasapiOutputDevice>(endpointId, audio::kBroadcastSink.bufferMs);
    };
  }
}

SecondOutput::~SecondOutput() {
  std::lock_guard lock(box_->mutex);
  box_->window = nullptr;
}

void SecondOutput::TellThrough(HWND window, UINT message, std::function<void(const std::wstring&)> tell,
                               std::function<void(const DeviceChange&)> changed) {
  tell_ = std::move(tell);
  changed_ = std::move(changed);
  std::lock_guard lock(box_->mutex);
  box_->window = window;
  box_->message = message;
  if (window && !box_->waiting.empty()) PostMessageW(window, message, 0, 0);
}

void SecondOutput::TakeNotices() {
  std::vector<std::variant<std::wstring, DeviceChange>> waiting;
  {
    std::lock_guard lock(box_->mutex);
    waiting.swap(box_->waiting);
  }
  for (const auto& notice : waiting) {
    if (const auto* change = std::get_if<DeviceChange>(&notice)) {
      if (changed_) changed_(*change);
    } else if (tell_) {
      tell_(std::get<std::wstring>(notice));
    }
  }
}

void SecondOutput::SetLevels(OutputLevelPair levels) {
  engine_.SetOutputLevel(audio::kMonitorSink.name, static_cast<float>(levels.monitor) / 100.0f);
  engine_.SetOutputLevel(audio::kBroadcastSink.name, static_cast<float>(levels.broadcast) / 100.0f);
}

void SecondOutput::Use(const std::wstring& endpointId, const std::wstring& name) {
  if (endpointId == endpointId_) return;
  endpointId_ = endpointId;
  if (endpointId_.empty()) {
    engine_.SetOutput(audio::kBroadcastSink, nullptr);
    return;
  }
  // The name is copied into what the output's thread keeps: the device can
  // change again while that thread still speaks of this one.
  engine_.SetOutput(audio::kBroadcastSink, makeDevice_(endpointId_), endpointId_,
                    [box = box_, name, missing = false](audio::SinkPresence presence) mutable {
                      // Back is told only after missing was.
                      if (presence == audio::SinkPresence::Missing) box->Put(DeviceChange{DeviceRole::Broadcast, name, false});
                      if (presence == audio::SinkPresence::Present && missing) box->Put(DeviceChange{DeviceRole::Broadcast, name, true});
                      missing = presence == audio::SinkPresence::Missing;
                    });
  MixMicrophone();
}

void SecondOutput::UseMicrophone(const MicrophoneSetting& setting) {
  const MicrophoneValues values = MicrophoneValuesOf(setting);
  microphone_->SetGainDb(values.gainDb);
  microphone_->SetMuted(values.muted);
  microphone_->SetDuckDb(values.duckDb);
  microphone_->Use(setting.id);
  MixMicrophone();
}

void SecondOutput::MixMicrophone() {
  audio::OutputSink* broadcast = engine_.Output(audio::kBroadcastSink.name);
  if (broadcast) broadcast->SetSource(microphone_->EndpointId().empty() ? nullptr : microphone_);
}

void SecondOutput::PlayedOnDefaultOnly(const std::wstring& path) {
  if (endpointId_.empty() || !toldFiles_.insert(path).second) return;
  box_->Put(DefaultDeviceOnlyText(path));
}

}  // namespace kivora
