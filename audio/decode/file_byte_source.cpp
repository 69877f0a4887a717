#include "audio/decode/file_byte_source.h"

#include "base/long_path.h"

namespace kivora::audio {

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::wstring& path) {
  // Others may read, write or delete the file while it plays, as with any player.
  HANDLE file = CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::unique_ptr<FileByteSource>(new FileByteSource(file));
}

size_t FileByteSource::Read(std::span<uint8_t> destination) {
  DWORD got = 0;
  const DWORD want = destination.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(destination.size());
  if (!ReadFile(file_.Get(), destination.data(), want, &got, nullptr)) return 0;
  return got;
}

bool FileByteSource::Seek(uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file_.Get(), distance, nullptr, FILE_BEGIN) != 0;
}

std::optional<uint64_t> FileByteSource::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file_.Get(), &size) || size.QuadPart < 0) return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

}  // namespace kivora::audio
