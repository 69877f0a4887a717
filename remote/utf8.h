// UTF-8 to and from the program's wide strings (UTF-16 on Windows, UTF-32 where
// wchar_t is four bytes, as in the native test build). Pure code.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kivora::remote {

// A lone surrogate becomes U+FFFD, so the result is always valid UTF-8.
std::string ToUtf8(std::wstring_view text);

// Nothing when text is not well-formed UTF-8 (overlong forms, surrogates, past U+10FFFF).
std::optional<std::wstring> FromUtf8(std::string_view text);

}  // namespace kivora::remote
