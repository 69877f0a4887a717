// A clip's bytes read from its file a block at a time, so a long file never
// has to be in memory whole.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/unique_handle.h"
#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

class FileByteSource final : public ByteSource {
 public:
  // Nothing when the file cannot be opened for reading.
  static std::unique_ptr<FileByteSource> Open(const std::wstring& path);

  size_t Read(std::span<uint8_t> destination) override;
  bool Seek(uint64_t offset) override;
  std::optional<uint64_t> Size() const override;

 private:
  explicit FileByteSource(HANDLE file) : file_(file) {}

  kivora::KernelHandle file_;
};

}  // namespace kivora::audio
