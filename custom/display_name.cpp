#include "custom/display_name.h"

#include <vector>

#include "base/gbk_text.h"

namespace kivora {
namespace {

// One character of the path: where it is in the UTF-16 text and, when its GBK
// form is a single byte, that byte. Double-byte characters are opaque: none of
// them is a separator, a dot or a space, whatever their trail byte.
struct PathChar {
  size_t begin = 0;
  char singleByte = '\0';
};

char SingleGbkByte(std::wstring_view character) {
  if (character.size() == 1 && character[0] < 0x80) return static_cast<char>(character[0]);
  // The conversion may map a character to an ASCII look-alike; the system's
  // ANSI functions would then see that byte, so it is used here as well.
  const std::string bytes = ToGbk(character);
  return bytes.size() == 1 ? bytes[0] : '\0';
}

// The characters of path up to its first zero, which ends a string for the
// ANSI functions.
std::vector<PathChar> SplitPath(std::wstring_view path) {
  std::vector<PathChar> chars;
  size_t pos = 0;
  while (pos < path.size() && path[pos] != L'\0') {
    const size_t length = (IsHighSurrogate(path[pos]) && pos + 1 < path.size()) ? 2 : 1;
    chars.push_back({pos, SingleGbkByte(path.substr(pos, length))});
    pos += length;
  }
  chars.push_back({pos, '\0'});  // the end, so that every character has a next one
  return chars;
}

bool IsSlash(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::wstring DisplayNameOf(std::wstring_view path) {
  const std::vector<PathChar> chars = SplitPath(path);
  const size_t count = chars.size() - 1;

  size_t nameStart = 0;
  for (size_t i = 0; i + 1 < count; ++i) {
    if ((IsSlash(chars[i].singleByte) || chars[i].singleByte == ':') && !IsSlash(chars[i + 1].singleByte)) {
      nameStart = i + 1;
    }
  }
  if (nameStart < count && chars[count - 1].singleByte == '\\') return {};

  size_t nameEnd = count;
  for (size_t i = nameStart; i < count; ++i) {
    const char c = chars[i].singleByte;
    if (c == '\\' || c == ' ') {
      nameEnd = count;
    } else if (c == '.') {
      nameEnd = i;
    }
  }
  return std::wstring(path.substr(chars[nameStart].begin, chars[nameEnd].begin - chars[nameStart].begin));
}

}  // namespace kivora
