#include "remote/play_tracker.h"

#include <algorithm>
#include <utility>

#include "audio/engine/device_command.h"
#include "base/message_window.h"

namespace kivora::remote {
namespace {

constexpr wchar_t kTimerWindowClass[] = L"KivoraPlayTracker";
constexpr UINT_PTR kEndTimer = 1;
// While a sound's length is still being read, the end is looked for this often.
constexpr int64_t kUnknownLengthPollMs = 100;

int64_t Frequency() {
  static const int64_t frequency = [] {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
  }();
  return frequency;
}

}  // namespace

PlayTracker::~PlayTracker() {
  if (timerWindow_) DestroyWindow(timerWindow_);
}

int64_t PlayTracker::Now() {
  LARGE_INTEGER value{};
  QueryPerformanceCounter(&value);
  return value.QuadPart;
}

audio::DeviceResult PlayTracker::Open(const std::wstring& deviceType, const std::wstring& path,
                                      const std::wstring& alias) {
  const audio::DeviceResult result = inner_.Open(deviceType, path, alias);
  opened_ = result == 0 ? path : std::wstring();
  return result;
}

audio::DeviceResult PlayTracker::Send(const std::wstring& command) {
  const audio::DeviceResult result = inner_.Send(command);
  const auto parsed = audio::ParseDeviceCommand(command);
  if (!parsed) return result;
  switch (parsed->verb) {
    case audio::DeviceVerb::Play:
      // The player's flag clears whether or not a sound answers.
      if (paused_) PauseChanged(false);
      if (result == 0 && !opened_.empty()) Started();
      break;
    case audio::DeviceVerb::Pause: PauseChanged(true); break;
    case audio::DeviceVerb::Resume: PauseChanged(false); break;
    case audio::DeviceVerb::Close:
      opened_.clear();
      Finish("cut_off");
      break;
    case audio::DeviceVerb::SetVolume: break;
  }
  return result;
}

void PlayTracker::StopSound(const std::wstring& key) {
  inner_.StopSound(key);
  if (playing_ && playing_->sound.name == key) Finish("cut_off");
}

void PlayTracker::Started() {
  Playing playing;
  playing.path = std::exchange(opened_, std::wstring());
  if (hooks_.identify) {
    if (auto sound = hooks_.identify(playing.path)) playing.sound = std::move(*sound);
  }
  if (playing.sound.name.empty()) playing.sound.caption = playing.path;
  playing.sound.lengthMs = lengths_.Known(playing.path);
  playing.startedAt = Now();
  playing_ = std::move(playing);
  Publish(SoundEvent("played", playing_->sound, playing_->startedAt));
  TellSounding();
  CheckEnd();
}

void PlayTracker::PauseChanged(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  const int64_t now = Now();
  if (playing_) {
    if (paused) {
      playing_->pausedAt = now;
    } else if (playing_->pausedAt) {
      playing_->pausedTicks += now - std::exchange(playing_->pausedAt, 0);
    }
  }
  Publish(PausedEvent(paused, now));
  TellSounding();
  if (playing_ && !paused) CheckEnd();
}

void PlayTracker::Finish(const char* kind) {
  if (!playing_) return;
  playing_->sound.positionMs = PositionMs(*playing_);
  const NowPlaying sound = std::move(playing_->sound);
  playing_.reset();
  if (timerWindow_) KillTimer(timerWindow_, kEndTimer);
  Publish(SoundEvent(kind, sound, Now()));
  TellSounding();
}

void PlayTracker::TellSounding() {
  const bool sounding = playing_.has_value() && !paused_;
  if (sounding == sounding_) return;
  sounding_ = sounding;
  if (hooks_.sounding) hooks_.sounding(sounding);
}

int64_t PlayTracker::PositionMs(const Playing& playing) const {
  const int64_t until = playing.pausedAt ? playing.pausedAt : Now();
  const int64_t ms = (until - playing.startedAt - playing.pausedTicks) * 1000 / Frequency();
  return playing.sound.lengthMs ? std::min(ms, *playing.sound.lengthMs) : ms;
}

std::optional<NowPlaying> PlayTracker::Current() {
  CheckEnd();
  if (!playing_) return std::nullopt;
  NowPlaying sound = playing_->sound;
  sound.positionMs = PositionMs(*playing_);
  return sound;
}

void PlayTracker::CheckEnd() {
  if (!playing_) return;
  Playing& playing = *playing_;
  if (!playing.sound.lengthMs) playing.sound.lengthMs = lengths_.Known(playing.path);
  if (playing.pausedAt) return;  // the timer waits for the resume
  if (!playing.sound.lengthMs) return ArmTimer(kUnknownLengthPollMs);
  const int64_t elapsed = (Now() - playing.startedAt - playing.pausedTicks) * 1000 / Frequency();
  if (elapsed < *playing.sound.lengthMs) return ArmTimer(*playing.sound.lengthMs - elapsed);
  Finish("ended");
}

void PlayTracker::ArmTimer(int64_t milliseconds) {
  if (!timerWindow_) timerWindow_ = CreateMessageWindow(kTimerWindowClass, TimerWindowProc, this);
  if (timerWindow_) SetTimer(timerWindow_, kEndTimer, static_cast<UINT>(std::max<int64_t>(milliseconds, 1)), nullptr);
}

LRESULT CALLBACK PlayTracker::TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_TIMER && wParam == kEndTimer) {
    KillTimer(window, kEndTimer);
    if (auto* self = reinterpret_cast<PlayTracker*>(GetWindowLongPtrW(window, GWLP_USERDATA))) self->CheckEnd();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kivora::remote
