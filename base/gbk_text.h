// Conversions between the program's UTF-16 text and GBK (code page 936) bytes.
// GBK is used only where its bytes are visible: the settings file and the
// byte-length rules (tip length, read limits, display names). The code page is
// always named explicitly so that the result does not depend on the system locale.
#pragma once

#include <string>
#include <string_view>

namespace kivora {

inline constexpr unsigned kGbkCodePage = 936;

// UTF-16 to GBK bytes. Characters GBK cannot hold become '?'.
std::string ToGbk(std::wstring_view text);

// True when every character of text survives a round trip through GBK.
bool FitsGbk(std::wstring_view text);

// GBK bytes to UTF-16. Invalid sequences become U+FFFD or are dropped by the system converter.
std::wstring FromGbk(std::string_view bytes);

// A UTF-16 lead surrogate: it and the unit after it are one character.
constexpr bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// The longest prefix of text whose GBK form has at most maxBytes bytes,
// never splitting a double-byte character.
std::wstring TruncateToGbkBytes(std::wstring_view text, size_t maxBytes);

}  // namespace kivora
