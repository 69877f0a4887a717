// Reading and writing one value of an INI document held as GBK bytes, with the
// layout rules of the Windows private-profile functions, but editing the text in
// place so that everything else in the file keeps its bytes.
//
// The document is walked character by character, never byte by byte: a GBK
// lead byte (0x81-0xFE) and the byte after it are one character, and that
// trail byte may look like '[', ']', '\\' or an ASCII letter.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivora {

// A read hands back at most this many bytes of a value (the system call is
// given a 10240-byte buffer, one byte of which holds the terminating zero).
inline constexpr size_t kIniValueMaxBytes = 10239;

// The value of key in section, with the surrounding blanks and one pair of
// matching quotes removed, cut to kIniValueMaxBytes without splitting a
// double-byte character. Only the first section of that name is searched, and
// the first line of that key in it decides. Names are compared without regard
// to ASCII letter case. Empty when the section or key is missing or when either
// name is empty after leading bytes up to 32 are skipped.
std::string ReadIniValue(std::string_view document, std::string_view section, std::string_view key);

// The values of several keys of one section, in the order of keys, by the rules
// of ReadIniValue, found in one walk through the document.
std::vector<std::string> ReadIniValues(std::string_view document, std::string_view section,
                                       std::span<const std::string_view> keys);

// The document with key=value set in section: an existing key's line is
// rewritten in place, a new key goes after the last key line of the first
// section of that name, a new section goes at the end of the document. New
// lines end the way the document's first line does (CRLF when it has none).
// A value that would not read back unchanged (blanks at either end, or wrapped
// in a pair of matching quotes) is written inside double quotes.
// Empty when the names or the value cannot be stored so that they read back
// the same: an empty name, a line break or zero byte anywhere, '=' in the key
// or a key starting with '['.
std::optional<std::string> WriteIniValue(std::string_view document, std::string_view section, std::string_view key,
                                         std::string_view value);

// The document without key in section: every line of that key in the first
// section of that name goes, with its line break, so that no later line of it
// comes to light; the rest keeps its bytes. The document as it is when the key
// is missing; empty when the names are not usable as WriteIniValue takes them.
std::optional<std::string> RemoveIniValue(std::string_view document, std::string_view section, std::string_view key);

}  // namespace kivora
