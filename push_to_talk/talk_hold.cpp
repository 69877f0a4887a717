#include "push_to_talk/talk_hold.h"

namespace kivora {

TalkHold::Start TalkHold::SoundStarting(int64_t) {
  starting_ = true;
  releaseAt_.reset();
  if (held_) return {};
  held_ = true;
  return {KeyAction::Press, timing_.leadMs > 0 ? timing_.leadMs : 0};
}

KeyAction TalkHold::StartSent(int64_t now) {
  starting_ = false;
  // A start that made no sound (a file the device refused) ends the hold as a sound would.
  return sounding_ ? KeyAction::None : TailStarts(now);
}

KeyAction TalkHold::Sounding(bool sounding, int64_t now) {
  if (sounding == sounding_) return KeyAction::None;
  sounding_ = sounding;
  if (sounding) {
    releaseAt_.reset();
    if (held_) return KeyAction::None;
    held_ = true;  // a sound that started without its lead (resumed, say): the key goes down now
    return KeyAction::Press;
  }
  return starting_ ? KeyAction::None : TailStarts(now);
}

KeyAction TalkHold::TailStarts(int64_t now) {
  if (!held_) return KeyAction::None;
  if (timing_.tailMs <= 0) return Let();
  releaseAt_ = now + timing_.tailMs;
  return KeyAction::None;
}

KeyAction TalkHold::UserPressed() {
  userDown_ = true;
  return KeyAction::None;
}

KeyAction TalkHold::UserReleased() {
  userDown_ = false;
  return held_ ? KeyAction::Press : KeyAction::None;
}

KeyAction TalkHold::Due(int64_t now) {
  if (!releaseAt_ || now < *releaseAt_) return KeyAction::None;
  return Let();
}

// The key comes up even while the user holds it: a release they did not make is
// better than a key left down by a program that is going.
KeyAction TalkHold::Quit() {
  sounding_ = false;
  starting_ = false;
  releaseAt_.reset();
  if (!held_) return KeyAction::None;
  held_ = false;
  return KeyAction::Release;
}

// The hold ends; the key stays down while the user holds it, and comes up with their release.
KeyAction TalkHold::Let() {
  releaseAt_.reset();
  held_ = false;
  return userDown_ ? KeyAction::None : KeyAction::Release;
}

}  // namespace kivora
