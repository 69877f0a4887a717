#include "app/shell_texts.h"

namespace kivora {

int ReleaseShellTexts(ShellTexts& texts) {
  int released = 0;
  for (std::wstring* text : {&texts.dataFolder, &texts.pickedFilePath, &texts.pickedFileName}) {
    if (text->empty()) continue;
    std::wstring().swap(*text);
    ++released;
  }
  return released;
}

ExitCleanup::~ExitCleanup() {
  const int released = ReleaseShellTexts(texts_);
  if (observer_) observer_(released);
}

}  // namespace kivora
