// Writing a file in one go: create or truncate, write only, no sharing.
#pragma once

#include <windows.h>

#include <span>
#include <string>

namespace kivora {

// Writes every byte to an open file, in pieces a single write can take.
bool WriteAllBytes(HANDLE file, std::span<const unsigned char> bytes);

// False for an empty path, a file that cannot be opened, or a write that stops
// part-way; in the last case the file keeps the bytes written so far.
bool WriteWholeFile(const std::wstring& path, std::span<const unsigned char> bytes);

}  // namespace kivora
