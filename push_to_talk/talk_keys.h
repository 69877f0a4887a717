// Pressing and releasing the talk key for the whole system, as a keyboard would
// (SendInput: its modifiers first, then the key; up in the reverse order). Every
// press is marked, so Kivora's own window can tell it from the user's typing, and
// the key held is kept where the last-resort guards can reach it: an unhandled
// exception, the end of the console or of the process releases it.
#pragma once

#include <windows.h>

#include "hotkeys/hotkey_text.h"

namespace kivora {

// dwExtraInfo of every key Kivora sends ("KVPT").
inline constexpr ULONG_PTR kTalkKeyMark = 0x4B565054;

class TalkKeys {
 public:
  virtual ~TalkKeys() = default;
  virtual void Press(Hotkey key) = 0;
  virtual void Release(Hotkey key) = 0;
  // Whether the key is down for the system now, whoever pressed it.
  virtual bool Down(Hotkey key) const = 0;
};

class SentTalkKeys final : public TalkKeys {
 public:
  // Installs the guards once per process.
  SentTalkKeys();
  void Press(Hotkey key) override;
  void Release(Hotkey key) override;
  bool Down(Hotkey key) const override;
};

// Whether a key message now being handled was sent by Kivora (GetMessageExtraInfo).
bool IsOwnTalkKeyMessage(const MSG& message);

// The last-resort release: lets the held key up, if any. Safe from any thread, a
// crash filter included; a second call does nothing.
void ReleaseHeldTalkKey() noexcept;

// The unhandled-exception filter the guards install (it releases, then asks the
// filter that was there before).
LONG WINAPI TalkKeyCrashFilter(EXCEPTION_POINTERS* exception) noexcept;

}  // namespace kivora
