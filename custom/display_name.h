// The name a sound is shown under: the last component of its path without the
// extension, found the way the system's ANSI path functions find them on the
// GBK bytes of the path, so that a name matches what users saw before.
#pragma once

#include <string>
#include <string_view>

namespace kivora {

// The last component is what follows the last '\\', '/' or ':' that has a
// character other than '\\' or '/' after it (the whole path when there is
// none); a component that ends in '\\' gives an empty name. The extension
// starts at the last '.' that no ' ' or '\\' follows. Characters are whole
// GBK characters, so a trail byte equal to '\\' is never taken for one.
// Characters GBK cannot hold are kept as they are in the result.
std::wstring DisplayNameOf(std::wstring_view path);

}  // namespace kivora
