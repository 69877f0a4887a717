// Where dropped files go among the custom slots: sound files (MP3 or WAVE, by
// extension) fill the empty slots in order from the first slot given; what is
// left over does not fit, other files are skipped, and so are files whose names
// the settings file cannot keep and files that cannot sound. Pure code.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace kivora {

inline constexpr int kDropSlotCount = 20;

struct DroppedFilePlace {
  int slot;
  std::wstring path;    // as dropped
  std::wstring stored;  // as the settings file keeps it
};

struct DropPlacement {
  std::vector<DroppedFilePlace> placed;
  int notFitting = 0;   // sound files with no empty slot left for them
  int notSound = 0;     // skipped: neither .mp3 nor .wav
  int unstorable = 0;   // skipped: no name the settings file can keep
  std::vector<std::wstring> unplayable;  // skipped, as dropped: files that cannot sound
};

bool IsSoundFileName(const std::wstring& path);
// The last part of a path: the name a message gives a file by.
std::wstring FileNameOf(const std::wstring& path);

// filled[0] is slot 1. storable gives the path to keep, empty when there is none;
// playable whether the file can sound (asked only of files that would take a slot).
DropPlacement PlaceDroppedFiles(const std::vector<std::wstring>& files, const std::array<bool, kDropSlotCount>& filled,
                                int fromSlot, const std::function<std::wstring(const std::wstring&)>& storable,
                                const std::function<bool(const std::wstring&)>& playable);

// The one message after a drop of several files, e.g. "已添加 3 个音效，1 个没有空位放不下。",
// naming each file that was skipped because it cannot sound.
std::wstring DropSummary(const DropPlacement& placement);

}  // namespace kivora
