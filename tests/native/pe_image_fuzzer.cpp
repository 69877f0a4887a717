// The PE reader on arbitrary bytes: whatever the headers claim, every read stays
// inside the file or the mapped image, and nothing the checks pass crashes the
// steps that follow them (relocation, imports, exports, TLS, unwind table).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "base/pe_image.h"

namespace {

// A fuzzed image may claim any size; mapping more than this is not worth a run.
constexpr std::uint32_t kLargestImage = 16u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kivora::pe;
  const std::span<const std::uint8_t> file(data, size);
  const auto layout = ParseImage(file);
  if (!layout || layout.value->sizeOfImage > kLargestImage) return 0;
  const ImageLayout& image = *layout.value;

  // Map it as the loader does: headers, then each section at its address.
  std::vector<std::uint8_t> mapped(image.sizeOfImage, 0);
  std::memcpy(mapped.data(), data, std::min<std::size_t>(image.sizeOfHeaders, mapped.size()));
  for (const Section& section : image.sections) {
    std::memcpy(mapped.data() + section.virtualAddress, data + section.rawOffset, section.CopySize());
  }
  const auto& directories = image.directories;
  ApplyRelocations(mapped, directories[kRelocationDirectory], 0x10000);
  ReadImports(mapped, directories[kImportDirectory]);
  FindExport(mapped, directories[kExportDirectory], "SkinH_AttachRes");
  ReadTlsCallbacks(mapped, directories[kTlsDirectory], image.preferredBase + 0x10000);
  ReadFunctionTable(mapped, directories[kExceptionDirectory]);
  return 0;
}
