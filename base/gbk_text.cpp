#include "base/gbk_text.h"

#include <windows.h>

namespace kivora {

std::string ToGbk(std::wstring_view text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                      nullptr);
  return bytes;
}

bool FitsGbk(std::wstring_view text) {
  if (text.empty()) return true;
  BOOL lossy = FALSE;
  WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                      nullptr, &lossy);
  return !lossy;
}

std::wstring FromGbk(std::string_view bytes) {
  if (bytes.empty()) return {};
  int size = MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

std::wstring TruncateToGbkBytes(std::wstring_view text, size_t maxBytes) {
  size_t used = 0;
  size_t end = 0;
  while (end < text.size()) {
    // A surrogate pair is one character; GBK cannot hold it and writes one '?'.
    size_t step = (IS_HIGH_SURROGATE(text[end]) && end + 1 < text.size()) ? 2 : 1;
    size_t width = ToGbk(text.substr(end, step)).size();
    if (used + width > maxBytes) break;
    used += width;
    end += step;
  }
  return std::wstring(text.substr(0, end));
}

}  // namespace kivora
