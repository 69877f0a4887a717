#include "base/pe_image.h"

#include <algorithm>

namespace kivora::pe {
namespace {

constexpr std::uint32_t kMaxImageSize = 256u << 20;  // far above any library we carry
constexpr std::uint16_t kOptionalMagic64 = 0x20B;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kOptionalFixedSize = 112;  // PE32+ fields before the directories
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kImportDescriptorSize = 20;
constexpr std::size_t kFunctionEntrySize = 12;
constexpr std::uint16_t kRelocationAbsolute = 0;
constexpr std::uint16_t kRelocationDir64 = 10;

// Bounds-checked little-endian reads over a byte range.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::optional<std::uint16_t> U16(std::uint64_t offset) const { return Read<std::uint16_t>(offset); }
  std::optional<std::uint32_t> U32(std::uint64_t offset) const { return Read<std::uint32_t>(offset); }
  std::optional<std::uint64_t> U64(std::uint64_t offset) const { return Read<std::uint64_t>(offset); }

  // A NUL-terminated name of at most maxLength printable bytes.
  std::optional<std::string> Name(std::uint64_t offset, std::size_t maxLength = 512) const {
    if (!Has(offset, 1)) return std::nullopt;
    std::string name;
    for (std::uint64_t at = offset; at < bytes_.size() && name.size() <= maxLength; ++at) {
      const std::uint8_t c = bytes_[at];
      if (c == 0) return name.empty() ? std::nullopt : std::optional<std::string>(name);
      if (c < 0x20 || c > 0x7E) return std::nullopt;
      name.push_back(static_cast<char>(c));
    }
    return std::nullopt;
  }

 private:
  template <typename T>
  std::optional<T> Read(std::uint64_t offset) const {
    if (!Has(offset, sizeof(T))) return std::nullopt;
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(bytes_[offset + i]) << (8 * i));
    return value;
  }
  std::span<const std::uint8_t> bytes_;
};

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool IsPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// A directory lies wholly inside the image.
bool Inside(std::span<const std::uint8_t> image, DataDirectory directory) {
  return Reader(image).Has(directory.rva, directory.size);
}

}  // namespace

std::uint32_t Section::CopySize() const { return virtualSize == 0 ? rawSize : std::min(rawSize, virtualSize); }

std::uint32_t Section::MappedSize() const {
  return static_cast<std::uint32_t>(AlignUp(std::max(virtualSize, CopySize()), kPageSize));
}

Checked<ImageLayout> ParseImage(std::span<const std::uint8_t> file) {
  using Result = Checked<ImageLayout>;
  const Reader in(file);
  if (in.U16(0) != 0x5A4D) return Result::Fail("no MZ signature");
  const auto ntOffset = in.U32(0x3C);
  if (!ntOffset || in.U32(*ntOffset) != 0x00004550) return Result::Fail("no PE signature");
  const std::uint64_t fileHeader = std::uint64_t{*ntOffset} + 4;
  const auto machine = in.U16(fileHeader);
  const auto sectionCount = in.U16(fileHeader + 2);
  const auto optionalSize = in.U16(fileHeader + 16);
  if (!machine || !sectionCount || !optionalSize) return Result::Fail("file header cut short");
  if (*machine != kMachineAmd64) return Result::Fail("not an x86-64 image");
  const std::uint64_t optional = fileHeader + kFileHeaderSize;
  if (*optionalSize < kOptionalFixedSize || !in.Has(optional, *optionalSize)) return Result::Fail("optional header cut short");
  if (in.U16(optional) != kOptionalMagic64) return Result::Fail("not a PE32+ optional header");

  ImageLayout layout;
  layout.entryPoint = *in.U32(optional + 16);
  layout.imageBaseOffset = static_cast<std::uint32_t>(optional + 24);
  layout.preferredBase = *in.U64(optional + 24);
  layout.sectionAlignment = *in.U32(optional + 32);
  layout.sizeOfImage = *in.U32(optional + 56);
  layout.sizeOfHeaders = *in.U32(optional + 60);
  const std::uint32_t directoryCount = *in.U32(optional + 108);
  if (layout.sizeOfImage == 0 || layout.sizeOfImage > kMaxImageSize) return Result::Fail("bad SizeOfImage");
  if (layout.preferredBase % 0x10000 != 0) return Result::Fail("bad ImageBase");
  if (!IsPowerOfTwo(layout.sectionAlignment) || layout.sectionAlignment < kPageSize)
    return Result::Fail("sections not page aligned");
  if (layout.sizeOfHeaders == 0 || layout.sizeOfHeaders > layout.sizeOfImage || !in.Has(0, layout.sizeOfHeaders))
    return Result::Fail("bad SizeOfHeaders");
  if (layout.entryPoint >= layout.sizeOfImage) return Result::Fail("entry point outside the image");
  if (directoryCount > kDirectoryCount || kOptionalFixedSize + 8ull * directoryCount > *optionalSize)
    return Result::Fail("bad directory count");
  for (std::uint32_t i = 0; i < directoryCount; ++i) {
    DataDirectory& directory = layout.directories[i];
    directory.rva = *in.U32(optional + kOptionalFixedSize + 8ull * i);
    directory.size = *in.U32(optional + kOptionalFixedSize + 8ull * i + 4);
    if (std::uint64_t{directory.rva} + directory.size > layout.sizeOfImage)
      return Result::Fail("directory outside the image");
  }

  const std::uint64_t table = optional + *optionalSize;
  if (*sectionCount == 0 || !in.Has(table, kSectionHeaderSize * *sectionCount) ||
      table + kSectionHeaderSize * *sectionCount > layout.sizeOfHeaders)
    return Result::Fail("section table outside the headers");
  for (std::uint16_t i = 0; i < *sectionCount; ++i) {
    const std::uint64_t header = table + kSectionHeaderSize * i;
    Section section;
    section.headerOffset = static_cast<std::uint32_t>(header);
    section.virtualSize = *in.U32(header + 8);
    section.virtualAddress = *in.U32(header + 12);
    section.rawSize = *in.U32(header + 16);
    section.rawOffset = *in.U32(header + 20);
    section.characteristics = *in.U32(header + 36);
    if (section.CopySize() != 0 && !in.Has(section.rawOffset, section.CopySize()))
      return Result::Fail("section data outside the file");
    if (section.virtualAddress % layout.sectionAlignment != 0 || section.virtualAddress < layout.sizeOfHeaders ||
        std::uint64_t{section.virtualAddress} + section.MappedSize() > layout.sizeOfImage)
      return Result::Fail("section outside the image");
    layout.sections.push_back(section);
  }
  return {std::move(layout), {}};
}

Checked<std::size_t> ApplyRelocations(std::span<std::uint8_t> image, DataDirectory directory, std::uint64_t delta) {
  using Result = Checked<std::size_t>;
  if (!Inside(image, directory)) return Result::Fail("relocations outside the image");
  const Reader in(image);
  std::size_t applied = 0;
  std::uint64_t block = directory.rva;
  const std::uint64_t end = std::uint64_t{directory.rva} + directory.size;
  while (block + 8 <= end) {
    const std::uint32_t page = *in.U32(block);
    const std::uint32_t blockSize = *in.U32(block + 4);
    if (page == 0 && blockSize == 0) break;
    if (blockSize < 8 || blockSize % 2 != 0 || block + blockSize > end) return Result::Fail("bad relocation block");
    for (std::uint64_t entry = block + 8; entry < block + blockSize; entry += 2) {
      const std::uint16_t value = *in.U16(entry);
      const std::uint16_t type = value >> 12;
      if (type == kRelocationAbsolute) continue;  // padding
      if (type != kRelocationDir64) return Result::Fail("relocation type not used on x86-64");
      const std::uint64_t target = std::uint64_t{page} + (value & 0x0FFF);
      const auto address = in.U64(target);
      if (!address) return Result::Fail("relocation target outside the image");
      const std::uint64_t moved = *address + delta;
      for (std::size_t i = 0; i < 8; ++i) image[target + i] = static_cast<std::uint8_t>(moved >> (8 * i));
      ++applied;
    }
    block += blockSize;
  }
  return {applied, {}};
}

Checked<std::vector<ImportedLibrary>> ReadImports(std::span<const std::uint8_t> image, DataDirectory directory) {
  using Result = Checked<std::vector<ImportedLibrary>>;
  std::vector<ImportedLibrary> libraries;
  if (directory.rva == 0) return {libraries, {}};
  if (!Inside(image, directory)) return Result::Fail("imports outside the image");
  const Reader in(image);
  for (std::uint64_t descriptor = directory.rva;; descriptor += kImportDescriptorSize) {
    if (!in.Has(descriptor, kImportDescriptorSize)) return Result::Fail("import descriptors run off the image");
    const std::uint32_t lookup = *in.U32(descriptor);
    const std::uint32_t nameRva = *in.U32(descriptor + 12);
    const std::uint32_t addresses = *in.U32(descriptor + 16);
    if (nameRva == 0) break;
    ImportedLibrary library;
    auto name = in.Name(nameRva);
    if (!name) return Result::Fail("bad import library name");
    library.name = std::move(*name);
    library.addressTable = addresses;
    const std::uint64_t thunks = lookup != 0 ? lookup : addresses;
    for (std::uint64_t i = 0;; ++i) {
      const auto thunk = in.U64(thunks + 8 * i);
      if (!thunk || !in.Has(std::uint64_t{addresses} + 8 * i, 8)) return Result::Fail("import table runs off the image");
      if (*thunk == 0) break;
      ImportedSymbol symbol;
      if (*thunk >> 63) {
        symbol.ordinal = static_cast<std::uint16_t>(*thunk & 0xFFFF);
      } else {
        auto symbolName = *thunk < image.size() ? in.Name(*thunk + 2) : std::nullopt;
        if (!symbolName) return Result::Fail("bad imported name");
        symbol.name = std::move(*symbolName);
      }
      library.symbols.push_back(std::move(symbol));
    }
    libraries.push_back(std::move(library));
  }
  return {std::move(libraries), {}};
}

Checked<std::uint32_t> FindExport(std::span<const std::uint8_t> image, DataDirectory directory, std::string_view name) {
  using Result = Checked<std::uint32_t>;
  if (directory.rva == 0 || directory.size < 40) return Result::Fail("no exports");
  if (!Inside(image, directory)) return Result::Fail("exports outside the image");
  const Reader in(image);
  const std::uint32_t functionCount = *in.U32(directory.rva + 20);
  const std::uint32_t nameCount = *in.U32(directory.rva + 24);
  const std::uint32_t functions = *in.U32(directory.rva + 28);
  const std::uint32_t names = *in.U32(directory.rva + 32);
  const std::uint32_t ordinals = *in.U32(directory.rva + 36);
  if (functionCount == 0 || nameCount == 0) return Result::Fail("no exports");
  if (!in.Has(functions, 4ull * functionCount) || !in.Has(names, 4ull * nameCount) || !in.Has(ordinals, 2ull * nameCount))
    return Result::Fail("export tables outside the image");
  for (std::uint32_t i = 0; i < nameCount; ++i) {
    if (in.Name(*in.U32(names + 4ull * i)) != name) continue;
    const std::uint16_t index = *in.U16(ordinals + 2ull * i);
    if (index >= functionCount) return Result::Fail("export ordinal out of range");
    const std::uint32_t rva = *in.U32(functions + 4ull * index);
    if (rva >= directory.rva && rva < std::uint64_t{directory.rva} + directory.size)
      return Result::Fail("forwarded export");
    if (rva == 0 || rva >= image.size()) return Result::Fail("export outside the image");
    return {rva, {}};
  }
  return Result::Fail("export not found");
}

Checked<std::vector<std::uint32_t>> ReadTlsCallbacks(std::span<const std::uint8_t> image, DataDirectory directory,
                                                     std::uint64_t base) {
  using Result = Checked<std::vector<std::uint32_t>>;
  std::vector<std::uint32_t> callbacks;
  if (directory.rva == 0) return {callbacks, {}};
  if (directory.size < 40 || !Inside(image, directory)) return Result::Fail("TLS directory outside the image");
  const Reader in(image);
  const std::uint64_t list = *in.U64(directory.rva + 24);
  if (list == 0) return {callbacks, {}};
  if (list < base || list - base >= image.size()) return Result::Fail("TLS callback list outside the image");
  for (std::uint64_t slot = list - base;; slot += 8) {
    const auto callback = in.U64(slot);
    if (!callback) return Result::Fail("TLS callback list runs off the image");
    if (*callback == 0) break;
    if (*callback < base || *callback - base >= image.size()) return Result::Fail("TLS callback outside the image");
    callbacks.push_back(static_cast<std::uint32_t>(*callback - base));
  }
  return {std::move(callbacks), {}};
}

Checked<FunctionTable> ReadFunctionTable(std::span<const std::uint8_t> image, DataDirectory directory) {
  using Result = Checked<FunctionTable>;
  if (directory.rva == 0 || directory.size == 0) return {FunctionTable{}, {}};
  if (directory.size % kFunctionEntrySize != 0 || !Inside(image, directory)) return Result::Fail("bad unwind table");
  const Reader in(image);
  const std::uint32_t count = directory.size / kFunctionEntrySize;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = directory.rva + std::uint64_t{kFunctionEntrySize} * i;
    const std::uint32_t begin = *in.U32(entry), end = *in.U32(entry + 4), unwind = *in.U32(entry + 8);
    if (begin >= end || end > image.size() || !in.Has(unwind & ~1u, 4)) return Result::Fail("unwind entry outside the image");
  }
  return {FunctionTable{directory.rva, count}, {}};
}

}  // namespace kivora::pe
