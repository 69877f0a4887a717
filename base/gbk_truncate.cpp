// The byte-length rule over GBK, apart from the conversion itself, so that it
// builds wherever the conversion does.
#include "base/gbk_text.h"

namespace kivora {

std::wstring TruncateToGbkBytes(std::wstring_view text, size_t maxBytes) {
  size_t used = 0;
  size_t end = 0;
  while (end < text.size()) {
    // A surrogate pair is one character; GBK cannot hold it and writes one '?'.
    size_t step = (IsHighSurrogate(text[end]) && end + 1 < text.size()) ? 2 : 1;
    size_t width = ToGbk(text.substr(end, step)).size();
    if (used + width > maxBytes) break;
    used += width;
    end += step;
  }
  return std::wstring(text.substr(0, end));
}

}  // namespace kivora
