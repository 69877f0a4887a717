// Whether a file put in a custom slot can ever sound: one that no decoder of the
// engine and not the system's player can play is refused when it is put there,
// not found silent at its first press.
#pragma once

#include <string>

namespace kivora {

enum class SoundFileProblem {
  kNone,        // the engine plays it, or it is left to the system's player
  kMissing,     // no such file (or no access to its folder)
  kFolder,      // a folder, whatever its name says
  kUnreadable,  // cannot be opened for reading
  kNoSound,     // empty, or text
  kDamaged,     // a WAVE or MP3 file the engine knows to be damaged
};

SoundFileProblem CheckSoundFile(const std::wstring& path);

// Why such a file is refused, in words for the user; empty for kNone.
std::wstring SoundFileProblemText(SoundFileProblem problem);

}  // namespace kivora
