// Fuzzes the settings codec: whatever document, section, key and value come in,
// a write the codec accepts must read back the value it was given, must leave
// every other setting (a probe chosen by the input) reading as before, and
// writing the same value again must leave the bytes as they are. Removing the key
// again must leave it reading as empty and the probe as it read before.
//   input: "<section>\n<key>\n<value>\n<probe section>\n<probe key>\n<document bytes>"
// Run by hand for longer: build/native/ini_roundtrip_fuzzer -max_total_time=600 <scratch> tests/native/corpus/ini_roundtrip
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "settings/ini_codec.h"

namespace {

// Takes the text up to the next line feed off the front of input.
std::optional<std::string_view> TakeLine(std::string_view& input) {
  const size_t end = input.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view line = input.substr(0, end);
  input.remove_prefix(end + 1);
  return line;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "ini round trip: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string_view> section = TakeLine(input);
  const std::optional<std::string_view> key = section ? TakeLine(input) : std::nullopt;
  const std::optional<std::string_view> value = key ? TakeLine(input) : std::nullopt;
  const std::optional<std::string_view> probeSection = value ? TakeLine(input) : std::nullopt;
  const std::optional<std::string_view> probeKey = probeSection ? TakeLine(input) : std::nullopt;
  if (!probeKey) return 0;
  const std::string_view document = input;

  const std::string probeBefore = kivora::ReadIniValue(document, *probeSection, *probeKey);

  const std::optional<std::string> written = kivora::WriteIniValue(document, *section, *key, *value);
  if (!written) return 0;

  const std::string readBack = kivora::ReadIniValue(*written, *section, *key);
  if (value->size() <= kivora::kIniValueMaxBytes) {
    if (readBack != *value) Fail("the value written does not read back");
  } else if (!value->starts_with(readBack) || readBack.size() + 1 < kivora::kIniValueMaxBytes) {
    Fail("a long value does not read back as its first kIniValueMaxBytes bytes");
  }

  // The probe reads as before, unless it names the setting just written. One
  // change cannot be helped: a damaged file cut off after a GBK lead byte gets a
  // line break after it, and the break's first byte becomes that byte's trail.
  const std::string probeAfter = kivora::ReadIniValue(*written, *probeSection, *probeKey);
  const bool cutAfterLeadByte = !document.empty() && static_cast<unsigned char>(document.back()) >= 0x81 &&
                                static_cast<unsigned char>(document.back()) <= 0xFE;
  const bool trailTaken = cutAfterLeadByte && (probeAfter == probeBefore + "\r" || probeAfter == probeBefore + "\n");
  if (probeAfter != probeBefore && probeAfter != readBack && !trailTaken) Fail("another setting changed");

  const std::optional<std::string> again = kivora::WriteIniValue(*written, *section, *key, *value);
  if (!again || *again != *written) Fail("writing the same value again changed the document");

  const std::optional<std::string> removed = kivora::RemoveIniValue(*written, *section, *key);
  if (!removed) Fail("a key that could be written cannot be removed");
  if (!kivora::ReadIniValue(*removed, *section, *key).empty()) Fail("a removed key still reads");
  const std::optional<std::string> removedAgain = kivora::RemoveIniValue(*removed, *section, *key);
  if (!removedAgain || *removedAgain != *removed) Fail("removing a missing key changed the document");
  // Whether the probe names the key itself: a different value written there shows through it.
  const std::optional<std::string> marked = kivora::WriteIniValue(*written, *section, *key, "#" + std::string(*value));
  const bool probeIsKey = marked && kivora::ReadIniValue(*marked, *probeSection, *probeKey) != probeAfter;
  const std::string probeRemoved = kivora::ReadIniValue(*removed, *probeSection, *probeKey);
  if (probeIsKey ? !probeRemoved.empty() : probeRemoved != probeAfter) Fail("removing a key changed another setting");
  return 0;
}
