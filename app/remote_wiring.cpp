// Remote control, wired to the window: the sounds it names and the handlers a
// command runs, which are those of the buttons' clicks and the hotkeys' presses.
#include <windows.h>

#include <memory>
#include <string>

#include "app/app.h"
#include "assets/catalogue.h"
#include "ui/control_names.h"
#include "ui/layout.h"
#include "ui/topmost_lift.h"

namespace kivora {
namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

class WindowActions final : public remote::RemoteActions {
 public:
  WindowActions(ui::MainWindow& window, VolumeRow& volume, CustomSlots& slots, audio::Player& player,
                const std::wstring& dataFolder, std::function<void()> stopAll, std::function<void()> microphoneMuteToggle,
                std::function<bool()> microphoneMuted)
      : window_(window), volume_(volume), slots_(slots), player_(player), dataFolder_(dataFolder),
        stopAll_(std::move(stopAll)), microphoneMuteToggle_(std::move(microphoneMuteToggle)),
        microphoneMuted_(std::move(microphoneMuted)) {}

  std::vector<remote::SoundEntry> Sounds() override {
    std::vector<remote::SoundEntry> sounds;
    for (const CatalogueEntry& entry : Catalogue()) {
      sounds.push_back({std::wstring(entry.buttonName), std::wstring(CaptionOf(entry)),
                        std::wstring(ui::kPageTitles[PageOf(entry)]), 0, {}, false,
                        dataFolder_ + std::wstring(entry.relativePath)});
    }
    for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
      const bool filled = slots_.Filled(slot);
      sounds.push_back({ui::CustomSlotName(slot), filled ? slots_.Caption(slot) : std::wstring(),
                        std::wstring(ui::kPageTitles[ui::kCustomPage]), slot, filled ? slots_.Path(slot) : std::wstring(),
                        !filled, filled ? slots_.Path(slot) : std::wstring()});
    }
    return sounds;
  }
  void Press(const remote::SoundEntry& sound) override { Click(sound.name); }
  void PauseClick() override { Click(ui::kPauseButton); }
  void MuteClick() override { Click(ui::kMuteButton); }
  bool VolumeStep(int step) override {
    if (!window_[ui::kVolumeSlider].Enabled()) return false;
    volume_.OnPageKey(step);
    return true;
  }
  void StopSound() override { player_.Close(); }
  void StopAll() override { stopAll_(); }
  int Volume() override { return volume_.Volume(); }
  bool Muted() override { return volume_.Muted(); }
  bool Paused() override { return player_.Paused(); }
  void MicrophoneMuteToggle() override { microphoneMuteToggle_(); }
  bool MicrophoneMuted() override { return microphoneMuted_(); }

 private:
  void Click(std::wstring_view button) { ui::FireIfBound(window_[button].Events().clicked); }

  ui::MainWindow& window_;
  VolumeRow& volume_;
  CustomSlots& slots_;
  audio::Player& player_;
  const std::wstring& dataFolder_;
  std::function<void()> stopAll_;
  std::function<void()> microphoneMuteToggle_;
  std::function<bool()> microphoneMuted_;
};

}  // namespace

// Today one sound plays at a time: stopping the player's sound stops everything,
// and the engine fades it out as it does any sound that is cut off.
void App::StopAllSounds() { player_.Close(); }

void App::StartRemote() {
  remoteActions_ = std::make_unique<WindowActions>(
      window_, volumeRow_, slots_, player_, shell_.dataFolder, [this] { StopAllSounds(); },
      [this] { ToggleMicrophoneMute(); }, [this] { return MicrophoneMuted(); });
  remote_.Tracker().SetHooks({[this](const std::wstring& path) -> std::optional<remote::NowPlaying> {
                                for (remote::SoundEntry& sound : remoteActions_->Sounds()) {
                                  if (!sound.path.empty() && SamePath(sound.path, path)) {
                                    remote::NowPlaying playing;
                                    playing.name = std::move(sound.name);
                                    playing.caption = std::move(sound.caption);
                                    return playing;
                                  }
                                }
                                return std::nullopt;
                              },
                              [this](const std::string& event) { remote_.Publish(event); },
                              [this](bool sounding) { pushToTalk_.Sounding(sounding); }});
  volumeRow_.Watch([this] { remote_.VolumeShown(volumeRow_.Volume(), volumeRow_.Muted()); });
  remote_.Start(*remoteActions_, saved_.remote);
  if (remote_.Status().state == remote::ServerStatus::State::PortInUse) {
    const std::wstring text = L"遥控端口 " + std::to_wstring(remote_.Status().port) +
                              L" 已被其他程序占用，遥控服务没有开启。\n\n请在“设置...”的“遥控”中换一个端口。";
    window_.Post([this, text] {
      ui::ScopedTopmostLift lift(window_);
      services_.prompts.Show(text, L"遥控", MB_OK | MB_ICONWARNING | MB_TASKMODAL);
    });
  }
  if (startupCommand_) {
    window_.Post([this] {
      if (startupCommand_) remote_.Execute(*std::exchange(startupCommand_, std::nullopt));
    });
  }
}

}  // namespace kivora
