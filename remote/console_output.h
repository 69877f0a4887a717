// Text for the console a command line was typed in, or for the files and pipes its
// output was sent to. Kivora is a windowed program: it has no console of its own,
// so it writes to the handles it inherited, or else to its parent's console.
#pragma once

#include <string_view>

namespace kivora::remote {

// UTF-8 text to standard output (stdout) or standard error.
void WriteOut(std::string_view utf8, bool error = false);

}  // namespace kivora::remote
