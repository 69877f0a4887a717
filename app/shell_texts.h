// The three texts of the shell: the Data folder every path is built on, and the
// file most recently picked for a custom slot with its display name. The App and
// the custom slots use them; the exit cleanup owns them and releases them once,
// when the process ends.
#pragma once

#include <functional>
#include <string>

namespace kivora {

struct ShellTexts {
  std::wstring dataFolder;      // absolute, always ends in a backslash; fixed at start-up
  std::wstring pickedFilePath;  // last file chosen in a custom slot's dialog
  std::wstring pickedFileName;  // its display name
};

// Releases the Data folder, the picked path and the picked name, in that order,
// each only if it holds a text. Returns how many it released.
int ReleaseShellTexts(ShellTexts& texts);

// Made once at process start, before the window; destroyed when the process ends,
// after the event loop and everything that used the texts are gone. Its
// destruction is the exit cleanup, so the texts are released exactly once.
class ExitCleanup {
 public:
  // observer, if given, hears how many texts the cleanup released.
  explicit ExitCleanup(std::function<void(int released)> observer = {}) : observer_(std::move(observer)) {}
  ~ExitCleanup();
  ExitCleanup(const ExitCleanup&) = delete;
  ExitCleanup& operator=(const ExitCleanup&) = delete;

  ShellTexts& Texts() { return texts_; }

 private:
  ShellTexts texts_;
  std::function<void(int)> observer_;
};

}  // namespace kivora
