// The broadcast output: every sound also plays on the device chosen under 输出,
// fixed by its endpoint ID (it never follows the default device), through the
// sound engine's broadcast output. The user is told in a balloon on the
// notification-area icon, never in a box, when that device is missing (at start
// or lost) and again when it is back, and once per file when a file plays on
// the default device only. The microphone chosen under 输出 is mixed into that
// output only, never into the default device's (no echo in the headphones).
// Owned by the window's thread. The engine's broadcast output tells of its device
// on its own thread: into a box shared with it, then a message to the window,
// whose thread takes the notices (TakeNotices) and shows them.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "audio/dsp/clock_bridge.h"
#include "audio/engine/microphone_source.h"
#include "audio/engine/sound_engine.h"
#include "second_output/device_change.h"
#include "second_output/output_levels.h"
#include "settings/settings_store.h"

namespace kivora {

// What the balloons say.
std::wstring BroadcastMissingText(const std::wstring& deviceName);
std::wstring BroadcastBackText(const std::wstring& deviceName);
std::wstring DefaultDeviceOnlyText(const std::wstring& path);
inline constexpr std::wstring_view kBroadcastBalloonTitle = L"直播输出";

class SecondOutput {
 public:
  // Builds the device for an endpoint ID (tests give scripted ones).
  using DeviceMaker = std::function<std::shared_ptr<audio::OutputDevice>(const std::wstring& endpointId)>;

  // pace: how the microphone's path keeps its delay (kFree where devices are not paced).
  explicit SecondOutput(audio::SoundEngine& engine, DeviceMaker makeDevice = {},
                        audio::FillPolicy pace = audio::FillPolicy::kHeld);
  ~SecondOutput();
  SecondOutput(const SecondOutput&) = delete;
  SecondOutput& operator=(const SecondOutput&) = delete;

  // Where notices go: posted as message to window, whose thread then calls
  // TakeNotices, which hands each text to tell and each change of the broadcast
  // device's presence to changed.
  void TellThrough(HWND window, UINT message, std::function<void(const std::wstring&)> tell,
                   std::function<void(const DeviceChange&)> changed);
  // Takes the notices waiting and tells them. On the window's thread.
  void TakeNotices();

  // Plays every following sound on the device of endpointId (called name) as
  // well; empty: on none.
  void Use(const std::wstring& endpointId, const std::wstring& name);
  const std::wstring& EndpointId() const { return endpointId_; }

  // The levels of the default device's output and the broadcast's (耳机音量, 直播音量).
  void SetLevels(OutputLevelPair levels);

  // A file played on the default device only (no decoder of the engine's takes
  // it): while a broadcast device is set, the user is told, once per file.
  void PlayedOnDefaultOnly(const std::wstring& path);

  // The microphone mixed into the broadcast output's sound only, as section 输出
  // keeps it: its device, gain, mute and ducking. A value that makes no sense is
  // taken as its default.
  void UseMicrophone(const MicrophoneSetting& setting);
  audio::MicrophoneSource& Microphone() { return *microphone_; }

 private:
  // Shared with the broadcast output's thread, which may outlive this object.
  struct NoticeBox {
    std::mutex mutex;  // guards the three below
    HWND window = nullptr;
    UINT message = 0;
    std::vector<std::variant<std::wstring, DeviceChange>> waiting;
    void Put(std::variant<std::wstring, DeviceChange> notice);
  };
  // Hands the microphone, when one is chosen, to the broadcast output, if one is set.
  void MixMicrophone();

  audio::SoundEngine& engine_;
  DeviceMaker makeDevice_;
  std::shared_ptr<NoticeBox> box_ = std::make_shared<NoticeBox>();
  std::function<void(const std::wstring&)> tell_;
  std::function<void(const DeviceChange&)> changed_;
  std::wstring endpointId_;
  std::set<std::wstring> toldFiles_;
  std::shared_ptr<audio::MicrophoneSource> microphone_;
};

}  // namespace kivora
