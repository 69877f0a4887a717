// Reads a 64-bit Windows DLL image (PE32+) as untrusted bytes: every offset, size
// and count is checked against the buffer and the image size before it is used.
// No Windows headers: the structures are read field by field, little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivora::pe {

inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint32_t kPageSize = 0x1000;

// Section flags that decide how a mapped section is protected.
inline constexpr std::uint32_t kSectionInitializedData = 0x00000040;
inline constexpr std::uint32_t kSectionUninitializedData = 0x00000080;
inline constexpr std::uint32_t kSectionDiscardable = 0x02000000;
inline constexpr std::uint32_t kSectionNotCached = 0x04000000;
inline constexpr std::uint32_t kSectionExecute = 0x20000000;
inline constexpr std::uint32_t kSectionRead = 0x40000000;
inline constexpr std::uint32_t kSectionWrite = 0x80000000;

enum DirectoryIndex : std::size_t {
  kExportDirectory = 0,
  kImportDirectory = 1,
  kExceptionDirectory = 3,
  kRelocationDirectory = 5,
  kTlsDirectory = 9,
  kDirectoryCount = 16,
};

struct DataDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

struct Section {
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t characteristics = 0;
  std::uint32_t headerOffset = 0;  // where its 40-byte header lies in the file

  // Bytes taken from the file (the rest of the section is zero).
  std::uint32_t CopySize() const;
  // Bytes the section spans in the mapped image, whole pages.
  std::uint32_t MappedSize() const;
};

struct ImageLayout {
  std::uint64_t preferredBase = 0;
  std::uint32_t sizeOfImage = 0;
  std::uint32_t sizeOfHeaders = 0;
  std::uint32_t sectionAlignment = 0;
  std::uint32_t entryPoint = 0;
  std::uint32_t imageBaseOffset = 0;  // file offset of the ImageBase field
  std::array<DataDirectory, kDirectoryCount> directories{};
  std::vector<Section> sections;
};

// A value or the reason there is none.
template <typename T>
struct Checked {
  std::optional<T> value;
  std::string_view error;
  static Checked Fail(std::string_view why) { return {std::nullopt, why}; }
  explicit operator bool() const { return value.has_value(); }
};

// The headers of a DLL file for x86-64: layout checked against the file, sections
// against the image size. Other machines are refused.
Checked<ImageLayout> ParseImage(std::span<const std::uint8_t> file);

// The functions below read the image as mapped (SizeOfImage bytes, sections in place).

// Adds `delta` to every 64-bit address the relocation directory lists. Refuses
// blocks or targets outside the image and entry types an x86-64 image does not use.
Checked<std::size_t> ApplyRelocations(std::span<std::uint8_t> image, DataDirectory directory, std::uint64_t delta);

struct ImportedSymbol {
  std::string name;  // empty when imported by ordinal
  std::uint16_t ordinal = 0;
};

struct ImportedLibrary {
  std::string name;
  std::uint32_t addressTable = 0;  // RVA of the 8-byte slots, one per symbol
  std::vector<ImportedSymbol> symbols;
};

Checked<std::vector<ImportedLibrary>> ReadImports(std::span<const std::uint8_t> image, DataDirectory directory);

// RVA of the export with this exact name; forwarded exports are not followed.
Checked<std::uint32_t> FindExport(std::span<const std::uint8_t> image, DataDirectory directory, std::string_view name);

// RVAs of the TLS callbacks (the directory holds addresses, relocated to `base`).
Checked<std::vector<std::uint32_t>> ReadTlsCallbacks(std::span<const std::uint8_t> image, DataDirectory directory,
                                                     std::uint64_t base);

// The unwind table (12-byte entries) once every entry is checked to lie in the image.
struct FunctionTable {
  std::uint32_t rva = 0;
  std::uint32_t count = 0;
};
Checked<FunctionTable> ReadFunctionTable(std::span<const std::uint8_t> image, DataDirectory directory);

}  // namespace kivora::pe
