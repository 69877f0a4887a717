#include "custom/settings_text.h"

#include "app/gbk_text.h"
#include "custom/ini_codec.h"

namespace kivora {

std::wstring SkipLeadingControls(std::wstring_view text) {
  size_t begin = 0;
  while (begin < text.size() && text[begin] <= L' ') ++begin;
  return std::wstring(text.substr(begin));
}

bool UsableSettingNames(std::wstring_view section, std::wstring_view key) {
  const std::wstring sectionName = SkipLeadingControls(section);
  const std::wstring keyName = SkipLeadingControls(key);
  return !sectionName.empty() && !keyName.empty() && FitsGbk(sectionName) && FitsGbk(keyName);
}

std::wstring SettingFromBytes(std::string_view fileBytes, std::wstring_view section, std::wstring_view key) {
  if (!UsableSettingNames(section, key)) return {};
  return FromGbk(ReadIniValue(fileBytes, ToGbk(SkipLeadingControls(section)), ToGbk(SkipLeadingControls(key))));
}

std::optional<std::string> BytesWithSetting(std::string_view fileBytes, std::wstring_view section,
                                            std::wstring_view key, std::wstring_view value) {
  if (!UsableSettingNames(section, key) || !FitsGbk(value)) return std::nullopt;
  return WriteIniValue(fileBytes, ToGbk(SkipLeadingControls(section)), ToGbk(SkipLeadingControls(key)), ToGbk(value));
}

}  // namespace kivora
