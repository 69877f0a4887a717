// Fuzzes the hotkey text a hand-edited settings file may hold: whatever reads as
// a hotkey formats to text that reads back as the same key, and that text is
// its own canonical form. The same text as the talk key and its two times reads
// to times within their ranges, which are kept and read back unchanged.
//   input: UTF-16 code units, two bytes each, little-endian
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hotkeys/hotkey_text.h"
#include "push_to_talk/talk_key_values.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "hotkey text: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  const kivora::TalkKeyValues talk = kivora::TalkKeyValuesOf({text, text, text});
  if (talk.timing.leadMs < 0 || talk.timing.leadMs > kivora::kMaxTalkLeadMs || talk.timing.tailMs < 0 ||
      talk.timing.tailMs > kivora::kMaxTalkTailMs) {
    Fail("a talk time is out of range");
  }
  if (kivora::TalkKeyValuesOf(kivora::TalkKeySettingOf(talk)) != talk) Fail("the talk key's values do not read back");
  const auto read = kivora::ParseHotkey(text);
  kivora::ReservedReason(read.value_or(kivora::Hotkey{}));
  if (!read) return 0;
  if (read->key == 0 || (read->modifiers & ~kivora::kAllModifiers) != 0) Fail("a read key is out of range");
  const std::wstring formatted = kivora::FormatHotkey(*read);
  if (formatted.empty()) Fail("a read key has no text");
  const auto again = kivora::ParseHotkey(formatted);
  if (!again || *again != *read) Fail("the formatted text does not read back as the same key");
  if (kivora::FormatHotkey(*again) != formatted) Fail("the formatted text is not canonical");
  return 0;
}
