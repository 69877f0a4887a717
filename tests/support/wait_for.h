// A test waits for the state it expects, up to a deadline, looking again every
// few milliseconds: it never reads once and hopes.
#pragma once

#include <windows.h>

namespace kivora::testing {

template <typename Condition>
bool WaitUntil(Condition done, DWORD timeoutMs, DWORD everyMs = 5) {
  const ULONGLONG start = GetTickCount64();
  while (!done()) {
    if (GetTickCount64() - start > timeoutMs) return false;
    Sleep(everyMs);
  }
  return true;
}

}  // namespace kivora::testing
