// How the banner's response body is read: the chunk size each read asks for, and
// a collector that refuses a body grown past the cap. Plain data, no windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kivora {

// A banner is a few kilobytes; a body past this is a broken or hostile server.
inline constexpr size_t kMaxBannerBodyBytes = 4 * 1024 * 1024;

// Bytes to ask for per read: the announced length plus one, at most 102,400;
// 10,240 when no length, or one of zero or less, was announced.
size_t ReadChunkSize(std::int64_t announcedLength, bool lengthAnnounced);

// Appends the chunks of one body. Once the body passes the cap it is refused for
// good: what was held is released and every later append is ignored.
class BodyCollector {
 public:
  explicit BodyCollector(size_t cap = kMaxBannerBodyBytes) : cap_(cap) {}

  // False once the body is refused: the reader should stop.
  bool Append(std::span<const unsigned char> chunk);
  bool Refused() const { return refused_; }
  // The whole body, or nothing when it was refused.
  std::vector<unsigned char> Take();

 private:
  size_t cap_;
  bool refused_ = false;
  std::vector<unsigned char> body_;
};

}  // namespace kivora
