// Follows what the Player does, whoever made it act (a click, a hotkey, a remote
// command): it stands between the Player and its back end, passes every command
// on unchanged, and tells the sound that plays, how far it is, and each change as
// an event. The position is counted on the window's clock from the start, less
// the time paused; a sound has ended once its length has passed.
// Window thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "audio/engine/audio_backend.h"
#include "remote/clip_lengths.h"
#include "remote/remote_json.h"

namespace kivora::remote {

class PlayTracker final : public audio::AudioBackend {
 public:
  struct Hooks {
    // The sound a file belongs to (name and caption); nothing for a file no button plays.
    std::function<std::optional<NowPlaying>(const std::wstring& path)> identify;
    // One event, as JSON.
    std::function<void(const std::string& event)> publish;
    // Whether a sound is heard (one plays and is not paused) changed.
    std::function<void(bool sounding)> sounding;
  };

  PlayTracker(audio::AudioBackend& inner, ClipLengths& lengths) : inner_(inner), lengths_(lengths) {}
  ~PlayTracker() override;
  PlayTracker(const PlayTracker&) = delete;
  PlayTracker& operator=(const PlayTracker&) = delete;

  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }

  audio::DeviceResult Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) override;
  audio::DeviceResult Send(const std::wstring& command) override;
  // A press's shape and the sounds a button started are the inner back end's.
  void ShapeNextSound(const audio::SoundPress& press, bool cutsOthers) override { inner_.ShapeNextSound(press, cutsOthers); }
  bool Sounding(const std::wstring& key) override { return inner_.Sounding(key); }
  // A button's sound stopped by its own second press ends what is tracked, as a stop does.
  void StopSound(const std::wstring& key) override;

  // The sound that plays or is paused, until it ends, is closed or is cut off.
  std::optional<NowPlaying> Current();
  bool Paused() const { return paused_; }

  // The performance counter now: every event carries it.
  static int64_t Now();

 private:
  struct Playing {
    NowPlaying sound;
    std::wstring path;
    int64_t startedAt = 0;   // counter ticks
    int64_t pausedAt = 0;    // while paused: when it paused
    int64_t pausedTicks = 0;  // all the pauses before
  };
  void Started();
  void PauseChanged(bool paused);
  void Finish(const char* kind);
  // Ends the sound once its length has passed; arms the timer for the moment it will.
  void CheckEnd();
  void ArmTimer(int64_t milliseconds);
  int64_t PositionMs(const Playing& playing) const;
  void Publish(const std::string& event) {
    if (hooks_.publish) hooks_.publish(event);
  }
  void TellSounding();
  static LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  audio::AudioBackend& inner_;
  ClipLengths& lengths_;
  Hooks hooks_;
  std::wstring opened_;  // the path opened last, not playing yet
  std::optional<Playing> playing_;
  bool paused_ = false;
  bool sounding_ = false;  // as last told
  HWND timerWindow_ = nullptr;
};

}  // namespace kivora::remote
