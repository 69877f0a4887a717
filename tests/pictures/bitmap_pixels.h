// Reads a bitmap's pixels back through GDI, the way any other caller would see
// them, for comparison with expected values.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace kivora::test {

struct Bgra {
  uint8_t b = 0, g = 0, r = 0, a = 0;
  friend bool operator==(const Bgra&, const Bgra&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Bgra& p) {
  return out << "BGRA(" << int{p.b} << ", " << int{p.g} << ", " << int{p.r} << ", " << int{p.a} << ")";
}

// Top-down 32-bit pixels of the bitmap, width * height of them; empty if GDI
// cannot read it.
std::vector<Bgra> ReadBgra(HBITMAP bitmap, int width, int height);

}  // namespace kivora::test
