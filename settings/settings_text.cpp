#include "settings/settings_text.h"

#include "base/gbk_text.h"
#include "settings/ini_codec.h"

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

std::vector<std::wstring> SettingsFromBytes(std::string_view fileBytes, std::wstring_view section,
                                            const std::vector<std::wstring>& keys) {
  std::vector<std::wstring> values(keys.size());
  const std::wstring sectionName = SkipLeadingControls(section);
  if (sectionName.empty() || !FitsGbk(sectionName)) return values;
  // A key that cannot name a setting is asked for by an empty name, which reads nothing.
  std::vector<std::string> names;
  for (const std::wstring& key : keys) {
    names.push_back(UsableSettingNames(section, key) ? ToGbk(SkipLeadingControls(key)) : std::string());
  }
  const std::vector<std::string_view> nameViews(names.begin(), names.end());
  const std::vector<std::string> found = ReadIniValues(fileBytes, ToGbk(sectionName), nameViews);
  for (size_t i = 0; i < found.size(); ++i) values[i] = FromGbk(found[i]);
  return values;
}

std::optional<std::string> BytesWithSetting(std::string_view fileBytes, std::wstring_view section,
                                            std::wstring_view key, std::wstring_view value) {
  if (!UsableSettingNames(section, key) || !FitsGbk(value)) return std::nullopt;
  return WriteIniValue(fileBytes, ToGbk(SkipLeadingControls(section)), ToGbk(SkipLeadingControls(key)), ToGbk(value));
}

std::optional<std::string> BytesWithoutSetting(std::string_view fileBytes, std::wstring_view section,
                                               std::wstring_view key) {
  if (!UsableSettingNames(section, key)) return std::nullopt;
  return RemoveIniValue(fileBytes, ToGbk(SkipLeadingControls(section)), ToGbk(SkipLeadingControls(key)));
}

}  // namespace kivora
