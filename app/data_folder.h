// Where Kivora keeps its files: the user's documents folder + "Kivora\".
#pragma once

#include <string>
#include <string_view>

namespace kivora {

inline constexpr std::wstring_view kDataFolderName = L"Kivora\\";
inline constexpr std::wstring_view kMusicFolderName = L"音乐\\";

// documents + exactly one backslash + "Kivora\". An unknown documents folder gives
// the relative "Kivora\", which resolves against the current directory.
std::wstring DataFolderFrom(std::wstring_view documentsFolder);

// The current user's documents folder, not created when missing; empty when unknown.
std::wstring DocumentsFolder();

}  // namespace kivora
