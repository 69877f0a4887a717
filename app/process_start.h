// What the process prepares before its window exists.
#pragma once

namespace kivora {

// COM as a single-threaded apartment (the open-file dialog needs it, and it must be
// in place before the sound device, which asks for COM itself, is first opened),
// the common controls, the exit cleanup, and GDI+ once.
void StartProcess();

}  // namespace kivora
