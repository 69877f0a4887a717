// Message boxes answered from a script, with every box shown recorded.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "custom/file_chooser.h"
#include "decor/web_opener.h"
#include "ui/user_prompts.h"

namespace kivora::testing {

struct ShownPrompt {
  std::wstring text;
  std::wstring caption;
  UINT type;
};

class ScriptedPrompts final : public ui::UserPrompts {
 public:
  // Answers given in order; when the script runs out, IDOK for OK boxes and IDNO otherwise.
  std::deque<int> answers;
  std::vector<ShownPrompt> shown;
  std::function<void()> onShow;  // runs while the box would be on screen
  int Show(std::wstring_view text, std::wstring_view caption, UINT type) override;
};

// The open-file dialog answered from a script: each entry is the path the user
// confirms, or an empty text for Cancel. Every showing records the dialog's state.
class ScriptedFileChooser final : public FileChooser {
 public:
  std::deque<std::wstring> choices;
  std::vector<FileDialogState> shown;
  bool Show(FileDialogState& state) override;
};

class RecordingWebOpener final : public WebOpener {
 public:
  std::vector<std::wstring> opened;
  void Open(std::wstring_view address) override { opened.emplace_back(address); }
};

}  // namespace kivora::testing
