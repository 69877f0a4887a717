// Loads a 64-bit DLL from a byte buffer, without writing it to disk: the steps of
// the system loader done by hand on an image that is checked as untrusted input.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivora {

class MemoryModule {
 public:
  // Map lays the image out, resolves and protects it but runs none of its code,
  // which is how a damaged image can be examined safely.
  enum class Run { EntryPoint, MapOnly };

  // The module, or null with the reason in `error`.
  static std::unique_ptr<MemoryModule> Load(std::span<const std::uint8_t> image, std::string* error = nullptr,
                                            Run run = Run::EntryPoint);

  ~MemoryModule();
  MemoryModule(const MemoryModule&) = delete;
  MemoryModule& operator=(const MemoryModule&) = delete;

  // Address of an export by exact name, or null.
  void* FindExport(std::string_view name) const;
  std::uintptr_t Base() const { return reinterpret_cast<std::uintptr_t>(base_); }
  std::uint64_t PreferredBase() const { return preferredBase_; }

 private:
  MemoryModule() = default;
  std::span<std::uint8_t> Image() const { return {base_, sizeOfImage_}; }

  std::uint8_t* base_ = nullptr;
  std::uint32_t sizeOfImage_ = 0;
  std::uint64_t preferredBase_ = 0;
  std::uint32_t entryPoint_ = 0;
  std::uint32_t exportRva_ = 0;
  std::uint32_t exportSize_ = 0;
  std::vector<HMODULE> libraries_;
  std::vector<std::uint32_t> tlsCallbacks_;
  PRUNTIME_FUNCTION functionTable_ = nullptr;
  bool entryCalled_ = false;
};

}  // namespace kivora
