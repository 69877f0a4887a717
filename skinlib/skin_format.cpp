#include "skinlib/skin_format.h"

namespace kivora::skin {
namespace {

constexpr std::uint8_t kMagic[5] = {'.', 'S', 'H', 'E', 0};
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 6;
constexpr std::size_t kChecksumSize = 4;

std::uint32_t Le(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
  return value;
}

}  // namespace

std::uint32_t Fnv1a(std::span<const std::uint8_t> bytes) {
  std::uint32_t hash = 2166136261u;
  for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 16777619u;
  return hash;
}

std::optional<Palette> ReadSkin(std::span<const std::uint8_t> data) {
  if (data.size() < kHeaderSize + kChecksumSize) return std::nullopt;
  for (std::size_t i = 0; i < sizeof(kMagic); ++i) {
    if (data[i] != kMagic[i]) return std::nullopt;
  }
  if (data[5] != kFormatVersion) return std::nullopt;
  const std::size_t count = Le(data, 6, 2);
  if (data.size() != kHeaderSize + count * kEntrySize + kChecksumSize) return std::nullopt;
  const std::size_t body = data.size() - kChecksumSize;
  if (Fnv1a(data.first(body)) != Le(data, body, 4)) return std::nullopt;

  Palette palette;
  std::array<bool, kRoleCount> named{};
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kHeaderSize + i * kEntrySize;
    const std::uint32_t role = Le(data, at, 2);
    if (role == 0 || role >= kRoleCount) continue;  // roles of a later version
    palette.colors[role] = Le(data, at + 2, 4) & 0x00FFFFFF;
    named[role] = true;
  }
  for (std::size_t role = 1; role < kRoleCount; ++role) {
    if (!named[role]) return std::nullopt;
  }
  return palette;
}

}  // namespace kivora::skin
