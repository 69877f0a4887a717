// When the talk key goes down and comes up around the sounds, decided from events
// and their times alone: the owner tells each event with the time it happened (ms
// on one steady clock), carries out the key action it gets back, and calls Due at
// NextDue. One hold covers every sound that starts before the last one's tail has
// run out. Pure code.
#pragma once

#include <cstdint>
#include <optional>

namespace kivora {

enum class KeyAction { None, Press, Release };

struct TalkTiming {
  int leadMs = 100;  // the key goes down this long before a sound starts
  int tailMs = 300;  // and comes up this long after the last one ends
  bool operator==(const TalkTiming&) const = default;
};

class TalkHold {
 public:
  explicit TalkHold(TalkTiming timing = {}) : timing_(timing) {}

  // A sound is about to start, its start held back by the owner. The key goes down
  // when it is not down already; waitMs is how long the start waits (the lead when
  // the key has just gone down, 0 when it was held already).
  struct Start {
    KeyAction action = KeyAction::None;
    int waitMs = 0;
  };
  Start SoundStarting(int64_t now);
  // The held-back start has gone to the device, whether or not a sound came of it.
  KeyAction StartSent(int64_t now);
  // Whether any sound is heard (one plays, not paused) changed.
  KeyAction Sounding(bool sounding, int64_t now);
  // The user's own press and release of the key (not ours): a release while the
  // hold lasts is undone at once, and the user's own hold is never let go by us.
  KeyAction UserPressed();
  KeyAction UserReleased();
  // The time of NextDue came: the tail has run out, the key comes up.
  KeyAction Due(int64_t now);
  std::optional<int64_t> NextDue() const { return releaseAt_; }
  // Exit, the end of the session, a new key chosen: the hold ends at once.
  KeyAction Quit();

  void SetTiming(TalkTiming timing) { timing_ = timing; }
  bool Held() const { return held_; }

 private:
  KeyAction TailStarts(int64_t now);
  KeyAction Let();

  TalkTiming timing_;
  bool held_ = false;      // pressed by us and not released
  bool sounding_ = false;
  bool starting_ = false;  // a start waits out its lead
  bool userDown_ = false;  // the user holds the key
  std::optional<int64_t> releaseAt_;
};

}  // namespace kivora
