// Each sound file's length, read from its headers once and kept while the file
// keeps its size and time. Thread-safe: the window thread asks only for what is
// known and has a worker read the rest; the control server's threads may read.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kivora::remote {

class ClipLengths {
 public:
  ClipLengths() = default;
  ~ClipLengths();
  ClipLengths(const ClipLengths&) = delete;
  ClipLengths& operator=(const ClipLengths&) = delete;

  // Reads the file's headers unless the length kept for it still holds. Any thread
  // but the window's.
  std::optional<int64_t> Get(const std::wstring& path);
  // What is kept, without touching the file; when nothing is, the worker reads it.
  std::optional<int64_t> Known(const std::wstring& path);

 private:
  struct Entry {
    uint64_t size = 0;
    FILETIME written{};
    std::optional<int64_t> lengthMs;
  };
  void Work();

  std::mutex mutex_;
  std::map<std::wstring, Entry> entries_;
  std::deque<std::wstring> wanted_;
  std::condition_variable wake_;
  bool quit_ = false;
  std::thread worker_;  // started at the first miss
};

}  // namespace kivora::remote
