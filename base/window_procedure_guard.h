// No exception may cross a window procedure into the system's message dispatch:
// a handler that throws falls back to the default processing of its message.
#pragma once

#include <windows.h>

namespace kivora {

template <typename Body, typename Fallback>
LRESULT GuardWindowProcedure(Body&& body, Fallback&& fallback) noexcept {
  try {
    return body();
  } catch (...) {
    try {
      return fallback();
    } catch (...) {
      return 0;
    }
  }
}

}  // namespace kivora
