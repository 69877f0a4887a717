#include "remote/clip_lengths.h"

#include <algorithm>

#include "audio/decode/file_byte_source.h"
#include "remote/clip_length.h"

namespace kivora::remote {

ClipLengths::~ClipLengths() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

std::optional<int64_t> ClipLengths::Get(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) return std::nullopt;
  const uint64_t size = (uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
  {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(path);
    if (found != entries_.end() && found->second.size == size &&
        CompareFileTime(&found->second.written, &attributes.ftLastWriteTime) == 0) {
      return found->second.lengthMs;
    }
  }
  std::optional<int64_t> length;
  if (auto source = audio::FileByteSource::Open(path)) length = ClipLengthMs(*source);
  std::lock_guard lock(mutex_);
  entries_[path] = {size, attributes.ftLastWriteTime, length};
  return length;
}

std::optional<int64_t> ClipLengths::Known(const std::wstring& path) {
  std::lock_guard lock(mutex_);
  if (auto found = entries_.find(path); found != entries_.end()) return found->second.lengthMs;
  if (std::find(wanted_.begin(), wanted_.end(), path) == wanted_.end()) wanted_.push_back(path);
  if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
  wake_.notify_one();
  return std::nullopt;
}

void ClipLengths::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || !wanted_.empty(); });
    if (quit_) return;
    std::wstring path = std::move(wanted_.front());
    wanted_.pop_front();
    lock.unlock();
    Get(path);
    lock.lock();
  }
}

}  // namespace kivora::remote
