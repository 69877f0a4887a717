#include "app/shell_texts.h"

#include <cstdlib>

namespace kivora {

ShellTexts& Shell() {
  static ShellTexts texts;
  return texts;
}

int ReleaseShellTexts() {
  ShellTexts& texts = Shell();
  int released = 0;
  for (std::wstring* text : {&texts.dataFolder, &texts.pickedFilePath, &texts.pickedFileName}) {
    if (text->empty()) continue;
    std::wstring().swap(*text);
    ++released;
  }
  return released;
}

void RegisterExitCleanup() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  std::atexit([] { ReleaseShellTexts(); });
}

}  // namespace kivora
