// Paths of any length for the file functions. A full path of MAX_PATH characters
// or more opens only in its extended-length form (\\?\C:\... or
// \\?\UNC\server\share\...): on Windows without the long-path policy a plain
// CreateFileW refuses it, whatever the program's manifest says.
#pragma once

#include <string>

namespace kivora {

// path as the file functions take it at any length: a drive or share path of
// MAX_PATH characters or more gets the prefix (with '/' turned into '\', as the
// prefix turns off that normalisation). Shorter, relative and already prefixed
// paths come back unchanged.
std::wstring ExtendedLengthPath(const std::wstring& path);

}  // namespace kivora
