// Message boxes answered from a script, with every box shown recorded.
#pragma once

#include <deque>
#include <string>
#include <vector>

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
  int Show(std::wstring_view text, std::wstring_view caption, UINT type) override;
};

class RecordingWebOpener final : public WebOpener {
 public:
  std::vector<std::wstring> opened;
  void Open(std::wstring_view address) override { opened.emplace_back(address); }
};

}  // namespace kivora::testing
