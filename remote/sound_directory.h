// Every sound a controller can press, by stable name, and how a name or caption
// someone typed finds one. Pure code.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "remote/remote_command.h"

namespace kivora::remote {

struct SoundEntry {
  std::wstring name;     // the button's control name: "按钮65", a custom slot's "按钮3"
  std::wstring caption;  // what the button shows; empty for an empty slot
  std::wstring page;     // the page title
  int slot = 0;          // 1..20 for a custom slot, 0 for a built-in sound
  std::wstring file;     // the slot's file (custom only)
  bool empty = false;    // a custom slot without a file
  std::wstring path;     // the file that plays (built-in: inside the Data folder); not shown
};

struct FoundSound {
  const SoundEntry* sound = nullptr;
  Failure failure = Failure::None;
  std::wstring reason;
};

// The sound named key, else the one sound captioned key. An empty slot found by
// name is refused (its click would open a file dialog); a caption that several
// sounds share is refused and names them.
FoundSound FindSound(std::span<const SoundEntry> sounds, std::wstring_view key);

// The command an action's name stands for (停止播放, 静音, 音量加, 音量减, 全部停止).
std::optional<RemoteCommand> ActionNamed(std::wstring_view name);

}  // namespace kivora::remote
