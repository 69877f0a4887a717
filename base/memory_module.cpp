#include "base/memory_module.h"

#include <algorithm>
#include <cstring>

#include "base/pe_image.h"

namespace kivora {
namespace {

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
using TlsCallback = void(NTAPI*)(PVOID, DWORD, PVOID);

// Page protection by [executable][readable][writable].
constexpr DWORD kProtections[2][2][2] = {
    {{PAGE_NOACCESS, PAGE_WRITECOPY}, {PAGE_READONLY, PAGE_READWRITE}},
    {{PAGE_EXECUTE, PAGE_EXECUTE_WRITECOPY}, {PAGE_EXECUTE_READ, PAGE_EXECUTE_READWRITE}},
};

DWORD ProtectionOf(std::uint32_t characteristics) {
  DWORD protection = kProtections[(characteristics & pe::kSectionExecute) != 0][(characteristics & pe::kSectionRead) != 0]
                                 [(characteristics & pe::kSectionWrite) != 0];
  if (characteristics & pe::kSectionNotCached) protection |= PAGE_NOCACHE;
  return protection;
}

bool Fail(std::string* error, std::string_view why) {
  if (error) error->assign(why);
  return false;
}

}  // namespace

std::unique_ptr<MemoryModule> MemoryModule::Load(std::span<const std::uint8_t> file, std::string* error, Run run) {
  // Headers and section table, checked against the buffer; other machines refused.
  const pe::Checked<pe::ImageLayout> parsed = pe::ParseImage(file);
  if (!parsed) return Fail(error, parsed.error), nullptr;
  const pe::ImageLayout& layout = *parsed.value;

  // Address space for the whole image, at its preferred base when that is free.
  std::unique_ptr<MemoryModule> module(new MemoryModule());
  void* base = VirtualAlloc(reinterpret_cast<void*>(layout.preferredBase), layout.sizeOfImage, MEM_RESERVE | MEM_COMMIT,
                            PAGE_READWRITE);
  if (!base) base = VirtualAlloc(nullptr, layout.sizeOfImage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!base) return Fail(error, "no address space for the image"), nullptr;
  module->base_ = static_cast<std::uint8_t*>(base);
  module->sizeOfImage_ = layout.sizeOfImage;
  module->preferredBase_ = layout.preferredBase;
  module->entryPoint_ = layout.entryPoint;
  module->exportRva_ = layout.directories[pe::kExportDirectory].rva;
  module->exportSize_ = layout.directories[pe::kExportDirectory].size;
  std::span<std::uint8_t> image = module->Image();

  // Headers, with the actual base written into the copy.
  std::copy_n(file.begin(), layout.sizeOfHeaders, image.begin());
  const std::uint64_t actualBase = module->Base();
  std::memcpy(image.data() + layout.imageBaseOffset, &actualBase, sizeof(actualBase));

  // Sections in place; the rest of each stays zero from the commit.
  for (const pe::Section& section : layout.sections) {
    std::copy_n(file.begin() + section.rawOffset, section.CopySize(), image.begin() + section.virtualAddress);
  }

  // Relocations, when the image could not have its preferred base.
  if (actualBase != layout.preferredBase) {
    const pe::DataDirectory relocations = layout.directories[pe::kRelocationDirectory];
    if (relocations.rva == 0) return Fail(error, "image must be relocated but has no relocations"), nullptr;
    auto applied = pe::ApplyRelocations(image, relocations, actualBase - layout.preferredBase);
    if (!applied) return Fail(error, applied.error), nullptr;
  }

  // Imports: each library loaded and kept, each slot filled with its function.
  auto imports = pe::ReadImports(image, layout.directories[pe::kImportDirectory]);
  if (!imports) return Fail(error, imports.error), nullptr;
  for (const pe::ImportedLibrary& library : *imports.value) {
    HMODULE handle = LoadLibraryA(library.name.c_str());
    if (!handle) return Fail(error, "imported library missing: " + library.name), nullptr;
    module->libraries_.push_back(handle);
    for (std::size_t i = 0; i < library.symbols.size(); ++i) {
      const pe::ImportedSymbol& symbol = library.symbols[i];
      FARPROC function = symbol.name.empty() ? GetProcAddress(handle, MAKEINTRESOURCEA(symbol.ordinal))
                                             : GetProcAddress(handle, symbol.name.c_str());
      if (!function) return Fail(error, "imported function missing in " + library.name), nullptr;
      const auto address = reinterpret_cast<std::uint64_t>(function);
      std::memcpy(image.data() + library.addressTable + 8 * i, &address, sizeof(address));
    }
  }

  // The unwind table and TLS callbacks are read while the image is still writable.
  auto functions = pe::ReadFunctionTable(image, layout.directories[pe::kExceptionDirectory]);
  if (!functions) return Fail(error, functions.error), nullptr;
  auto callbacks = pe::ReadTlsCallbacks(image, layout.directories[pe::kTlsDirectory], actualBase);
  if (!callbacks) return Fail(error, callbacks.error), nullptr;
  module->tlsCallbacks_ = std::move(*callbacks.value);

  // Page protections: headers read-only, sections by their flags, discardable ones dropped.
  DWORD old = 0;
  if (!VirtualProtect(image.data(), layout.sizeOfHeaders, PAGE_READONLY, &old))
    return Fail(error, "headers cannot be protected"), nullptr;
  for (const pe::Section& section : layout.sections) {
    if (section.MappedSize() == 0) continue;
    void* start = image.data() + section.virtualAddress;
    if (section.characteristics & pe::kSectionDiscardable) {
      VirtualFree(start, section.MappedSize(), MEM_DECOMMIT);
    } else if (!VirtualProtect(start, section.MappedSize(), ProtectionOf(section.characteristics), &old)) {
      return Fail(error, "section cannot be protected"), nullptr;
    }
  }
  FlushInstructionCache(GetCurrentProcess(), image.data(), image.size());

  // Exceptions thrown inside the library unwind through its own table.
  if (functions.value->count != 0) {
    auto* table = reinterpret_cast<PRUNTIME_FUNCTION>(image.data() + functions.value->rva);
    if (!RtlAddFunctionTable(table, functions.value->count, actualBase))
      return Fail(error, "unwind table refused"), nullptr;
    module->functionTable_ = table;
  }
  if (run == Run::MapOnly) return module;

  // TLS callbacks, then the entry point, as the system runs them on attach.
  for (std::uint32_t callback : module->tlsCallbacks_) {
    reinterpret_cast<TlsCallback>(image.data() + callback)(image.data(), DLL_PROCESS_ATTACH, nullptr);
  }
  if (layout.entryPoint != 0) {
    auto entry = reinterpret_cast<DllEntry>(image.data() + layout.entryPoint);
    if (!entry(reinterpret_cast<HINSTANCE>(image.data()), DLL_PROCESS_ATTACH, nullptr))
      return Fail(error, "the library refused to attach"), nullptr;
    module->entryCalled_ = true;
  }
  return module;
}

MemoryModule::~MemoryModule() {
  // Everything acquired, released in reverse.
  if (entryCalled_) {
    reinterpret_cast<DllEntry>(base_ + entryPoint_)(reinterpret_cast<HINSTANCE>(base_), DLL_PROCESS_DETACH, nullptr);
    for (std::uint32_t callback : tlsCallbacks_) {
      reinterpret_cast<TlsCallback>(base_ + callback)(base_, DLL_PROCESS_DETACH, nullptr);
    }
  }
  if (functionTable_) RtlDeleteFunctionTable(functionTable_);
  for (auto library = libraries_.rbegin(); library != libraries_.rend(); ++library) FreeLibrary(*library);
  if (base_) VirtualFree(base_, 0, MEM_RELEASE);
}

void* MemoryModule::FindExport(std::string_view name) const {
  // Read-only pages of the mapped image: the headers and export data are readable.
  auto rva = pe::FindExport({base_, sizeOfImage_}, {exportRva_, exportSize_}, name);
  return rva ? base_ + *rva.value : nullptr;
}

}  // namespace kivora
