// The skin data format: ".SHE" and a zero byte, a version byte, a 16-bit count of
// colour entries (16-bit role, 32-bit 0x00BBGGRR colour each), and a 32-bit FNV-1a
// checksum of every byte before it. All numbers little-endian. No Windows headers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kivora::skin {

enum class Role : std::uint16_t {
  Background = 1,   // window and page area
  Caption,          // title bar and frame
  CaptionText,
  Text,
  MutedText,
  ButtonFace,
  ButtonBorder,
  ButtonHover,
  ButtonPressed,
  ButtonPressedText,
  Accent,           // focus ring, chosen tab, slider fill, tick
  Track,            // slider channel, tab strip
  Link,
  Count
};

inline constexpr std::size_t kRoleCount = static_cast<std::size_t>(Role::Count);
inline constexpr std::uint8_t kFormatVersion = 1;

struct Palette {
  std::array<std::uint32_t, kRoleCount> colors{};
  std::uint32_t operator[](Role role) const { return colors[static_cast<std::size_t>(role)]; }
};

std::uint32_t Fnv1a(std::span<const std::uint8_t> bytes);

// The palette, when the data is whole, of this version and names every role.
std::optional<Palette> ReadSkin(std::span<const std::uint8_t> data);

}  // namespace kivora::skin
