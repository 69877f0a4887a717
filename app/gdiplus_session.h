// GDI+ is started once per process and never shut down: the shadow draws with it
// until the very end, and the system releases it with the process.
#pragma once

#include <cstdint>

namespace kivora {

// Starts GDI+ when the token is still zero; returns the token (zero when the
// library cannot be loaded).
std::uintptr_t StartGdiplusOnce();

}  // namespace kivora
