// The three texts the whole program shares: the Data folder every path is built
// on, and the file most recently picked for a custom slot with its display name.
#pragma once

#include <string>

namespace kivora {

struct ShellTexts {
  std::wstring dataFolder;      // absolute, always ends in a backslash; fixed at start-up
  std::wstring pickedFilePath;  // last file chosen in a custom slot's dialog
  std::wstring pickedFileName;  // its display name
};

// The process's one set of shell texts.
ShellTexts& Shell();

// Registers, once, the cleanup that releases the texts when the process exits.
void RegisterExitCleanup();

// The cleanup itself: releases the Data folder, the picked path and the picked
// name, in that order, each only if it holds a text. Returns how many it released.
int ReleaseShellTexts();

}  // namespace kivora
