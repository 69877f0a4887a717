// The GBK conversions of app/gbk_text.h for the native Linux build, over glibc's
// iconv. The program itself converts with the system's code page 936; this stands
// in for that one edge so that the code above it runs under the sanitizers. As
// there, a character GBK cannot hold becomes '?', and a byte that starts no
// valid character becomes U+FFFD.
#include <iconv.h>

#include <cerrno>

#include "base/gbk_text.h"

namespace kivora {
namespace {

// wchar_t is UTF-32 on Linux.
constexpr const char* kWideEncoding = "UTF-32LE";
constexpr const char* kGbkEncoding = "GBK";

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (handle_ != reinterpret_cast<iconv_t>(-1)) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of in as it can into out; returns the bytes of in used.
  // Stops at the first sequence it cannot convert.
  size_t Convert(const char* in, size_t inSize, std::string& out) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) return 0;
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char buffer[64];
    char* input = const_cast<char*>(in);
    size_t left = inSize;
    for (;;) {
      char* output = buffer;
      size_t room = sizeof(buffer);
      const size_t result = iconv(handle_, &input, &left, &output, &room);
      out.append(buffer, static_cast<size_t>(output - buffer));
      if (result != static_cast<size_t>(-1) || errno != E2BIG) break;
    }
    return inSize - left;
  }

 private:
  iconv_t handle_;
};

// The GBK bytes of one character, or nothing when GBK cannot hold it.
bool CharacterToGbk(Converter& converter, wchar_t character, std::string& out) {
  const char32_t unit = static_cast<char32_t>(character);
  const char bytes[4] = {static_cast<char>(unit & 0xFF), static_cast<char>((unit >> 8) & 0xFF),
                         static_cast<char>((unit >> 16) & 0xFF), static_cast<char>((unit >> 24) & 0xFF)};
  std::string converted;
  if (converter.Convert(bytes, 4, converted) != 4) return false;
  out += converted;
  return true;
}

}  // namespace

std::string ToGbk(std::wstring_view text) {
  Converter converter(kGbkEncoding, kWideEncoding);
  std::string bytes;
  for (wchar_t character : text) {
    if (!CharacterToGbk(converter, character, bytes)) bytes += '?';
  }
  return bytes;
}

bool FitsGbk(std::wstring_view text) {
  Converter converter(kGbkEncoding, kWideEncoding);
  std::string ignored;
  for (wchar_t character : text) {
    if (!CharacterToGbk(converter, character, ignored)) return false;
  }
  return true;
}

std::wstring FromGbk(std::string_view bytes) {
  Converter converter(kWideEncoding, kGbkEncoding);
  std::wstring text;
  size_t pos = 0;
  while (pos < bytes.size()) {
    std::string wide;
    pos += converter.Convert(bytes.data() + pos, bytes.size() - pos, wide);
    for (size_t i = 0; i + 4 <= wide.size(); i += 4) {
      const auto byte = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(wide[i + k])); };
      text += static_cast<wchar_t>(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
    }
    if (pos < bytes.size()) {
      text += L'\uFFFD';
      ++pos;
    }
  }
  return text;
}

}  // namespace kivora
