// What the process prepares before its window exists.
#pragma once

namespace kivora {

// COM as a single-threaded apartment (the open-file dialog needs it, and it must be
// in place before the sound device, which asks for COM itself, is first opened) and
// the common controls. GDI+ is started once the window shows (StartGdiplusOnce).
// The exit cleanup is the ExitCleanup that the entry point makes right after this.
void StartProcess();

}  // namespace kivora
