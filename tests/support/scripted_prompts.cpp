#include "scripted_prompts.h"

namespace kivora::testing {

int ScriptedPrompts::Show(std::wstring_view text, std::wstring_view caption, UINT type) {
  shown.push_back({std::wstring(text), std::wstring(caption), type});
  if (!answers.empty()) {
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDNO;
}

}  // namespace kivora::testing
