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

}  // namespace kivora
