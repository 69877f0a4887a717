#include "settings/ini_codec.h"

#include <vector>

namespace kivora {
namespace {

bool IsLeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

// Bytes of the character that starts at pos. A lead byte takes the next byte
// with it whatever that byte is (even a line break), as the system's GBK
// decoder does, except a zero byte or the end of the text.
size_t CharLength(std::string_view text, size_t pos) {
  if (IsLeadByte(text[pos]) && pos + 1 < text.size() && text[pos + 1] != '\0') return 2;
  return 1;
}

// The characters the profile functions trim around names and values; Ctrl-Z
// is among them because old editors ended files with it.
bool IsBlank(char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' '; }

// True when the character at pos is the single byte c (not the trail of a pair).
bool IsSingle(std::string_view text, size_t pos, char c) { return text[pos] == c && CharLength(text, pos) == 1; }

std::string_view Trim(std::string_view text) {
  size_t begin = text.size();
  size_t end = 0;
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = CharLength(text, pos);
    if (length == 2 || !IsBlank(text[pos])) {
      if (begin == text.size()) begin = pos;
      end = pos + length;
    }
    pos += length;
  }
  return begin < end ? text.substr(begin, end - begin) : text.substr(text.size());
}

// Offset of the first (or last) character c in text, npos when there is none.
size_t FindChar(std::string_view text, char c, bool last) {
  size_t found = std::string_view::npos;
  for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
    if (IsSingle(text, pos, c)) {
      found = pos;
      if (!last) break;
    }
  }
  return found;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Letter case is ignored for ASCII letters only; the trail byte of a
// double-byte character is compared as it is, or two different Chinese
// characters could compare equal.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t pos = 0; pos < a.size();) {
    const size_t length = CharLength(a, pos);
    if (CharLength(b, pos) != length) return false;
    if (length == 1) {
      if (AsciiLower(a[pos]) != AsciiLower(b[pos])) return false;
    } else if (a.substr(pos, 2) != b.substr(pos, 2)) {
      return false;
    }
    pos += length;
  }
  return true;
}

// A section or key name as the caller gives it: leading bytes up to 32 are
// skipped, trailing blanks are trimmed.
std::string_view NormalizeName(std::string_view name) {
  size_t begin = 0;
  while (begin < name.size() && static_cast<unsigned char>(name[begin]) <= 32) ++begin;
  return Trim(name.substr(begin));
}

struct Line {
  size_t begin = 0;       // first byte of the line
  size_t contentEnd = 0;  // first byte of its line break, or the document end
  size_t end = 0;         // first byte of the next line

  bool terminated() const { return end > contentEnd; }
};

// A line break is CR LF, a lone CR or a lone LF, like the profile functions
// accept; a CR or LF that is the trail of a double-byte character is not one.
std::vector<Line> SplitLines(std::string_view document) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < document.size()) {
    Line line;
    line.begin = pos;
    while (pos < document.size() && !IsSingle(document, pos, '\r') && !IsSingle(document, pos, '\n')) {
      pos += CharLength(document, pos);
    }
    line.contentEnd = pos;
    if (pos < document.size()) {
      pos += (document[pos] == '\r' && pos + 1 < document.size() && document[pos + 1] == '\n') ? 2 : 1;
    }
    line.end = pos;
    lines.push_back(line);
  }
  return lines;
}

enum class LineKind { kBlank, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kBlank;
  std::string_view name;  // section name inside the brackets, or key name
  bool hasEquals = false;
  // Key lines with '=': the trimmed value. When empty it still points at the
  // place where a value would start, so that a rewrite knows where to put it.
  std::string_view value;
  // Key lines with '=': everything after it up to the line's last non-blank.
  std::string_view afterEquals;
};

ParsedLine ParseLine(std::string_view content) {
  ParsedLine parsed;
  const std::string_view text = Trim(content);
  if (text.empty()) return parsed;
  if (text[0] == '[') {
    const size_t close = FindChar(text, ']', true);
    if (close != std::string_view::npos) {
      parsed.kind = LineKind::kSection;
      parsed.name = Trim(text.substr(1, close - 1));
      return parsed;
    }
  }
  // Every other line is a key, comments and lines without '=' included: the
  // profile functions do the same, and a line without '=' hides any later
  // line of the same key.
  parsed.kind = LineKind::kKey;
  const size_t equals = FindChar(text, '=', false);
  if (equals == std::string_view::npos) {
    parsed.name = text;
    return parsed;
  }
  parsed.hasEquals = true;
  parsed.name = Trim(text.substr(0, equals));
  const std::string_view afterEquals = text.substr(equals + 1);
  const std::string_view value = Trim(afterEquals);
  parsed.afterEquals = afterEquals;
  parsed.value = value.empty() ? afterEquals.substr(afterEquals.size()) : value;
  return parsed;
}

bool IsComment(const ParsedLine& parsed) {
  return parsed.kind == LineKind::kKey && !parsed.name.empty() && parsed.name.front() == ';';
}

std::string_view LineContent(std::string_view document, const Line& line) {
  return document.substr(line.begin, line.contentEnd - line.begin);
}

std::string_view CutToMaxBytes(std::string_view value) {
  size_t end = 0;
  while (end < value.size()) {
    const size_t length = CharLength(value, end);
    if (end + length > kIniValueMaxBytes) break;
    end += length;
  }
  return value.substr(0, end);
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool WrappedInQuotes(std::string_view value) {
  return value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
}

std::string_view ValueAsRead(std::string_view value) {
  value = value.substr(0, value.find('\0'));
  if (WrappedInQuotes(value)) value = value.substr(1, value.size() - 2);
  return CutToMaxBytes(value);
}

// A lead byte at the very end would take the line break after it as its trail.
bool EndsInsideCharacter(std::string_view text) {
  size_t pos = 0;
  size_t last = 0;
  while (pos < text.size()) {
    last = pos;
    pos += CharLength(text, pos);
  }
  return !text.empty() && pos - last == 1 && IsLeadByte(text[last]);
}

bool FitsOnOneLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos && !EndsInsideCharacter(text);
}

std::string EncodeValue(std::string_view value) {
  const bool needsQuotes =
      !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || WrappedInQuotes(value));
  if (!needsQuotes) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '"';
  quoted += value;
  quoted += '"';
  return quoted;
}

std::string_view LineEndingOf(std::string_view document, const std::vector<Line>& lines) {
  for (const Line& line : lines) {
    if (line.terminated()) return document.substr(line.contentEnd, line.end - line.contentEnd);
  }
  return "\r\n";
}

std::string Splice(std::string_view document, size_t begin, size_t end, std::string_view replacement) {
  std::string result;
  result.reserve(document.size() - (end - begin) + replacement.size());
  result += document.substr(0, begin);
  result += replacement;
  result += document.substr(end);
  return result;
}

// The line break that ends an unterminated last line. A document cut off after
// a lead byte (a damaged file) would take the break's first byte as its trail,
// so it is given one more break to take.
std::string ClosingLineBreak(std::string_view document, std::string_view lineEnding) {
  std::string closing(lineEnding);
  if (EndsInsideCharacter(document)) closing += lineEnding;
  return closing;
}

// Puts text as a line of its own after line, keeping an unterminated last
// line of the document unterminated.
std::string InsertLineAfter(std::string_view document, const Line& line, std::string_view text,
                            std::string_view lineEnding) {
  std::string inserted;
  if (line.terminated()) {
    inserted += text;
    inserted += lineEnding;
  } else {
    inserted += ClosingLineBreak(document, lineEnding);
    inserted += text;
  }
  return Splice(document, line.end, line.end, inserted);
}

}  // namespace

std::string ReadIniValue(std::string_view document, std::string_view section, std::string_view key) {
  return ReadIniValues(document, section, std::span<const std::string_view>(&key, 1)).front();
}

std::vector<std::string> ReadIniValues(std::string_view document, std::string_view section,
                                       std::span<const std::string_view> keys) {
  std::vector<std::string> values(keys.size());
  section = NormalizeName(section);
  if (section.empty()) return values;
  std::vector<std::string_view> names;
  for (std::string_view key : keys) names.push_back(NormalizeName(key));
  std::vector<bool> decided(keys.size(), false);
  size_t undecided = keys.size();
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) decided[i] = true, --undecided;
  }
  bool inSection = false;
  for (const Line& line : SplitLines(document)) {
    if (undecided == 0) break;
    const ParsedLine parsed = ParseLine(LineContent(document, line));
    if (parsed.kind == LineKind::kSection) {
      // Only the first section of a name counts; a later one of the same name
      // is never searched.
      if (inSection) break;
      inSection = SameName(parsed.name, section);
    } else if (parsed.kind == LineKind::kKey && inSection) {
      // The first line of a key decides, with or without '='.
      for (size_t i = 0; i < names.size(); ++i) {
        if (decided[i] || !SameName(parsed.name, names[i])) continue;
        if (parsed.hasEquals) values[i] = std::string(ValueAsRead(parsed.value));
        decided[i] = true;
        --undecided;
      }
    }
  }
  return values;
}

std::optional<std::string> WriteIniValue(std::string_view document, std::string_view section, std::string_view key,
                                         std::string_view value) {
  section = NormalizeName(section);
  key = NormalizeName(key);
  if (section.empty() || key.empty()) return std::nullopt;
  if (!FitsOnOneLine(section) || !FitsOnOneLine(key) || !FitsOnOneLine(value)) return std::nullopt;
  if (key.find('=') != std::string_view::npos || key.front() == '[') return std::nullopt;

  const std::string encoded = EncodeValue(value);
  const std::vector<Line> lines = SplitLines(document);
  const std::string_view lineEnding = LineEndingOf(document, lines);
  std::string keyLine(key);
  keyLine += '=';
  keyLine += encoded;

  const Line* insertAfter = nullptr;
  for (const Line& line : lines) {
    const ParsedLine parsed = ParseLine(LineContent(document, line));
    if (parsed.kind == LineKind::kSection) {
      if (insertAfter) break;
      if (SameName(parsed.name, section)) insertAfter = &line;
      continue;
    }
    if (!insertAfter || parsed.kind != LineKind::kKey) continue;
    if (SameName(parsed.name, key)) {
      if (parsed.hasEquals) {
        // An empty value takes the blanks after '=' with it: left behind, they
        // would go with the next write of the same empty value, so that write
        // would change the file instead of leaving it as it is.
        const std::string_view replaced = encoded.empty() ? parsed.afterEquals : parsed.value;
        const size_t valueBegin = static_cast<size_t>(replaced.data() - document.data());
        return Splice(document, valueBegin, line.contentEnd, encoded);
      }
      const size_t nameEnd = static_cast<size_t>(parsed.name.data() + parsed.name.size() - document.data());
      return Splice(document, nameEnd, line.contentEnd, "=" + encoded);
    }
    if (!IsComment(parsed)) insertAfter = &line;
  }
  if (insertAfter) return InsertLineAfter(document, *insertAfter, keyLine, lineEnding);

  std::string result(document);
  if (!lines.empty() && !lines.back().terminated()) result += ClosingLineBreak(document, lineEnding);
  result += '[';
  result += section;
  result += ']';
  result += lineEnding;
  result += keyLine;
  if (lines.empty() || lines.back().terminated()) result += lineEnding;
  return result;
}

std::optional<std::string> RemoveIniValue(std::string_view document, std::string_view section, std::string_view key) {
  section = NormalizeName(section);
  key = NormalizeName(key);
  if (section.empty() || key.empty() || !FitsOnOneLine(section) || !FitsOnOneLine(key)) return std::nullopt;
  if (key.find('=') != std::string_view::npos || key.front() == '[') return std::nullopt;

  std::string result;
  result.reserve(document.size());
  size_t kept = 0;  // the document up to here is in result or dropped
  bool inSection = false;
  bool sectionSeen = false;
  for (const Line& line : SplitLines(document)) {
    const ParsedLine parsed = ParseLine(LineContent(document, line));
    if (parsed.kind == LineKind::kSection) {
      if (inSection) break;
      inSection = !sectionSeen && SameName(parsed.name, section);
      sectionSeen = sectionSeen || inSection;
      continue;
    }
    if (!inSection || parsed.kind != LineKind::kKey || !SameName(parsed.name, key)) continue;
    result += document.substr(kept, line.begin - kept);
    kept = line.end;
  }
  result += document.substr(kept);
  return result;
}

}  // namespace kivora
