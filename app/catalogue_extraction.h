// On a first start the sixty built-in sounds are written out as MP3 files into
// the Music folder; once that folder exists nothing is written again.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "base/whole_file.h"

namespace kivora {

// Writes every catalogue body below dataFolder unless dataFolder + "音乐\" is already
// a folder. Failures are not reported: a file that cannot be written is skipped.
// The writer is WriteWholeFile; tests pass one that interferes with the disk on the way.
using FileWriter = std::function<bool(const std::wstring& path, std::span<const unsigned char> bytes)>;
void ExtractCatalogue(const std::wstring& dataFolder, const FileWriter& write = WriteWholeFile);

}  // namespace kivora
