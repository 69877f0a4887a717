// Holds the talk key down while a sound plays, for voice chats that hear only
// while it is held. It stands between the Player and its back end: a sound's start
// waits out the lead while the key goes down, and every other command passes at
// once. The play tracker tells when sounds are heard and when they end; the tail
// runs from there. A release of the key by the user mid-sound is pressed back at
// once (so is a release the hook never saw, found by looking at the key's state
// while it is held), and the key comes up however the hold ends: tail, exit,
// session end, or a crash (the guards of talk_keys.h).
// Made, used and destroyed on the window thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "audio/engine/audio_backend.h"
#include "base/unique_handle.h"
#include "push_to_talk/talk_hold.h"
#include "push_to_talk/talk_key_values.h"
#include "push_to_talk/talk_keys.h"

namespace kivora {

class PushToTalk final : public audio::AudioBackend {
 public:
  PushToTalk(audio::AudioBackend& inner, TalkKeys& keys);
  ~PushToTalk() override;  // the key comes up
  PushToTalk(const PushToTalk&) = delete;
  PushToTalk& operator=(const PushToTalk&) = delete;

  // The key and its times, as section 输出 keeps them; no key: nothing is held.
  // A key held now comes up first.
  void Use(const TalkKeyValues& values);
  const TalkKeyValues& Values() const { return values_; }

  // The play tracker: whether a sound is heard (plays, not paused) changed.
  void Sounding(bool sounding);
  // Exit and the end of the session: the key comes up now, and stays up.
  void Quit();
  bool Held() const { return hold_.Held(); }

  audio::DeviceResult Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) override;
  audio::DeviceResult Send(const std::wstring& command) override;
  // A sound's shape and its button's state pass through to the engine unchanged.
  void ShapeNextSound(const audio::SoundPress& press, bool cutsOthers) override { inner_.ShapeNextSound(press, cutsOthers); }
  bool Sounding(const std::wstring& key) override { return inner_.Sounding(key); }
  void StopSound(const std::wstring& key) override { inner_.StopSound(key); }

 private:
  void Carry(KeyAction action);
  void ArmRelease();
  audio::DeviceResult SendHeldStart();
  void OnUserKey(bool down);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
  static int64_t NowMs();

  audio::AudioBackend& inner_;
  TalkKeys& keys_;
  TalkKeyValues values_;
  TalkHold hold_;
  std::optional<std::wstring> heldStart_;  // a play or resume waiting out the lead
  bool quit_ = false;
  // Hidden top-level: the timers, the user's release handled after it, and the end of the session.
  HWND window_ = nullptr;
  Hook keyboardHook_;  // sees the user's own presses of the key while one is chosen
};

}  // namespace kivora
