#include "decor/banner_body.h"

#include <algorithm>
#include <utility>

namespace kivora {
namespace {

constexpr size_t kLargestChunk = 102400;
constexpr size_t kChunkWithoutLength = 10240;

}  // namespace

size_t ReadChunkSize(std::int64_t announcedLength, bool lengthAnnounced) {
  if (!lengthAnnounced || announcedLength <= 0) return kChunkWithoutLength;
  // Compared before adding one, so the largest announced length cannot overflow.
  if (announcedLength >= static_cast<std::int64_t>(kLargestChunk)) return kLargestChunk;
  return static_cast<size_t>(announcedLength) + 1;
}

bool BodyCollector::Append(std::span<const unsigned char> chunk) {
  if (refused_) return false;
  if (chunk.size() > cap_ - body_.size()) {
    refused_ = true;
    std::vector<unsigned char>().swap(body_);
    return false;
  }
  body_.insert(body_.end(), chunk.begin(), chunk.end());
  return true;
}

std::vector<unsigned char> BodyCollector::Take() {
  if (refused_) return {};
  return std::exchange(body_, {});
}

}  // namespace kivora
