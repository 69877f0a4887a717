// A new token for the control server, from the system's random number generator.
#pragma once

#include <string>

namespace kivora::remote {

// 32 hexadecimal digits (128 bits); empty only if the system gives no random bytes.
std::wstring NewRandomToken();

}  // namespace kivora::remote
