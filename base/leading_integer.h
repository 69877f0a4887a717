// Reads a settings value the way the volume has always been read: the leading
// decimal number of the text, with an optional sign.
#pragma once

#include <string_view>

namespace kivora {

// "37" -> 37, "-5" -> -5, " 42%" -> 42, "abc" -> 0, "" -> 0. Leading blanks are
// skipped; digits beyond the range of int saturate at its ends.
int LeadingInteger(std::wstring_view text);

}  // namespace kivora
