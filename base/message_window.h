// A message-only window of the calling thread, with owner kept in its user data:
// where a worker thread posts, so that its results are handled on this thread.
#pragma once

#include <windows.h>

namespace kivora {

// Registers className on first use. Nothing (nullptr) when the window cannot be made.
HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, void* owner);

}  // namespace kivora
