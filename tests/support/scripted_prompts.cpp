#include "scripted_prompts.h"

namespace kivora::testing {

int ScriptedPrompts::Show(std::wstring_view text, std::wstring_view caption, UINT type) {
  shown.push_back({std::wstring(text), std::wstring(caption), type});
  if (onShow) onShow();
  if (!answers.empty()) {
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDNO;
}

bool ScriptedFileChooser::Show(FileDialogState& state) {
  shown.push_back(state);
  if (choices.empty()) return false;
  std::wstring choice = choices.front();
  choices.pop_front();
  if (choice.empty()) return false;
  state.fileName = choice;
  return true;
}

}  // namespace kivora::testing
