// The settings file's rules over its bytes, apart from the file itself: names and
// values are UTF-16 here and GBK in the bytes. The file's reading, replacing and
// locking stay in settings_file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivora {

// Text as the settings functions take it: leading characters up to U+0020 skipped.
std::wstring SkipLeadingControls(std::wstring_view text);

// True when section and key can name a setting: neither is empty once leading
// controls are skipped, and GBK holds both (a '?' stand-in must not match some
// other name).
bool UsableSettingNames(std::wstring_view section, std::wstring_view key);

// The value of key in section of a settings file holding fileBytes; empty text
// when the section or key is missing or the names are not usable.
std::wstring SettingFromBytes(std::string_view fileBytes, std::wstring_view section, std::wstring_view key);

// The values of several keys of one section, in the order given, read in one walk
// through fileBytes by the rules of SettingFromBytes.
std::vector<std::wstring> SettingsFromBytes(std::string_view fileBytes, std::wstring_view section,
                                            const std::vector<std::wstring>& keys);

// The bytes of the settings file once key=value is set in section. Nothing when
// the setting cannot be stored so that it reads back the same: names that are
// not usable, a value GBK cannot hold (storing '?' would quietly save a
// different sound path than the one chosen), a line break, '=' in the key.
std::optional<std::string> BytesWithSetting(std::string_view fileBytes, std::wstring_view section,
                                            std::wstring_view key, std::wstring_view value);

// The bytes of the settings file without key in section (as they are when it is
// missing). Nothing when the names are not usable.
std::optional<std::string> BytesWithoutSetting(std::string_view fileBytes, std::wstring_view section,
                                               std::wstring_view key);

}  // namespace kivora
