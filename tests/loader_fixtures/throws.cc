// A DLL that throws and catches a C++ exception inside itself: the unwinder finds
// its functions only through the table the loader registers.
#include <stdexcept>
#include <string>

namespace {
[[gnu::noinline]] int Deep(int depth) {
  if (depth == 0) throw std::runtime_error("thrown inside the library");
  return Deep(depth - 1) + 1;
}
}  // namespace

extern "C" __declspec(dllexport) int ThrowAndCatch(int depth) {
  try {
    return Deep(depth);
  } catch (const std::runtime_error& error) {
    return static_cast<int>(std::string(error.what()).size());
  }
}
