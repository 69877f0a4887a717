// The in-memory loader, on small DLLs built for it and on damaged copies of them:
// what loads runs correctly, and what is damaged fails cleanly.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "assets/skin.h"
#include "base/memory_module.h"
#include "base/pe_image.h"

namespace kivora {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFixture(const std::string& name) {
  std::ifstream file(std::string("Z:") + LOADER_FIXTURE_DIR + "/fixture_" + name + ".dll", std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

template <typename Function>
Function* Export(const MemoryModule& module, const char* name) {
  return reinterpret_cast<Function*>(module.FindExport(name));
}

std::unique_ptr<MemoryModule> LoadOrReport(const Bytes& image, MemoryModule::Run run = MemoryModule::Run::EntryPoint) {
  std::string error;
  auto module = MemoryModule::Load(image, &error, run);
  EXPECT_NE(module, nullptr) << error;
  return module;
}

// Keeps an address range taken, so that an image preferring it must move.
class ReservedRange {
 public:
  ReservedRange(std::uint64_t base, std::size_t size)
      : memory_(VirtualAlloc(reinterpret_cast<void*>(base), size, MEM_RESERVE, PAGE_NOACCESS)) {}
  ~ReservedRange() {
    if (memory_) VirtualFree(memory_, 0, MEM_RELEASE);
  }
  bool Held() const { return memory_ != nullptr; }

 private:
  void* memory_;
};

TEST(MemoryModule, PlainLibraryLoadsAtItsBaseAndRuns) {
  Bytes image = ReadFixture("plain");
  ASSERT_FALSE(image.empty());
  auto module = LoadOrReport(image);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->Base(), module->PreferredBase());
  EXPECT_EQ(Export<int(int, int)>(*module, "Add")(2, 40), 42);
  EXPECT_EQ(Export<int()>(*module, "ReadThroughStoredAddress")(), 42);
  EXPECT_EQ(Export<int()>(*module, "AttachCount")(), 1) << "the entry point ran once";
  EXPECT_EQ(module->FindExport("add"), nullptr) << "names match case-sensitively";
  EXPECT_EQ(module->FindExport("Missing"), nullptr);
}

TEST(MemoryModule, LibraryWhoseBaseIsTakenIsRelocated) {
  Bytes image = ReadFixture("plain");
  auto layout = pe::ParseImage(image);
  ASSERT_TRUE(layout);
  ReservedRange taken(layout.value->preferredBase, layout.value->sizeOfImage);
  ASSERT_TRUE(taken.Held());
  auto module = LoadOrReport(image);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(module->Base(), module->PreferredBase());
  EXPECT_EQ(Export<int()>(*module, "ReadThroughStoredAddress")(), 42) << "the stored address moved with the image";
  EXPECT_EQ(Export<int(int, int)>(*module, "Add")(-1, 1), 0);
}

TEST(MemoryModule, LibrariesThatCannotLoadFailCleanly) {
  struct Case {
    const char* fixture;
    const char* reason;
  };
  const Case cases[] = {
      {"missing_import", "imported library missing: kivora_absent.dll"},
      {"refuses", "the library refused to attach"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(MemoryModule::Load(ReadFixture(c.fixture), &error), nullptr) << c.fixture;
    EXPECT_EQ(error, c.reason);
  }
}

TEST(MemoryModule, TlsCallbacksRunBeforeTheEntryPoint) {
  auto module = LoadOrReport(ReadFixture("tls"));
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(Export<int()>(*module, "TlsCallbackAttaches")(), 1);
  EXPECT_EQ(Export<int()>(*module, "TlsCallbackRanBeforeEntry")(), 1);
}

TEST(MemoryModule, ExceptionThrownInsideTheLibraryIsCaughtThere) {
  auto module = LoadOrReport(ReadFixture("throws"));
  ASSERT_NE(module, nullptr);
  auto throwAndCatch = Export<int(int)>(*module, "ThrowAndCatch");
  ASSERT_NE(throwAndCatch, nullptr);
  EXPECT_EQ(throwAndCatch(3), static_cast<int>(std::strlen("thrown inside the library")));
}

// Offsets of the fields the damage table writes, read from the good image.
struct Fields {
  std::uint32_t nt = 0;
  std::uint32_t optional = 0;
  std::uint32_t firstSection = 0;
  pe::ImageLayout layout;

  explicit Fields(const Bytes& image) {
    std::memcpy(&nt, image.data() + 0x3C, 4);
    optional = nt + 24;
    layout = *pe::ParseImage(image).value;
    firstSection = layout.sections.front().headerOffset;
  }
  // File offset of an RVA inside a section.
  std::uint32_t FileOffset(std::uint32_t rva) const {
    for (const pe::Section& s : layout.sections) {
      if (rva >= s.virtualAddress && rva < s.virtualAddress + s.CopySize()) return s.rawOffset + (rva - s.virtualAddress);
    }
    return 0;
  }
};

void Put32(Bytes& image, std::uint32_t offset, std::uint32_t value) { std::memcpy(image.data() + offset, &value, 4); }
void Put16(Bytes& image, std::uint32_t offset, std::uint16_t value) { std::memcpy(image.data() + offset, &value, 2); }

TEST(MemoryModule, DamagedImagesAreRefusedWithoutCrashing) {
  const Bytes good = ReadFixture("plain");
  const Fields f(good);
  const std::uint32_t importRva = f.layout.directories[pe::kImportDirectory].rva;
  const std::uint32_t relocationRva = f.layout.directories[pe::kRelocationDirectory].rva;
  ASSERT_NE(importRva, 0u);
  ASSERT_NE(relocationRva, 0u);
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"empty", [](Bytes& b) { b.clear(); }},
      {"cut inside the DOS header", [](Bytes& b) { b.resize(63); }},
      {"cut inside the section table", [&](Bytes& b) { b.resize(f.firstSection + 20); }},
      {"cut inside the sections", [](Bytes& b) { b.resize(b.size() / 2); }},
      {"no MZ", [](Bytes& b) { b[0] = 'X'; }},
      {"e_lfanew far beyond the end", [](Bytes& b) { Put32(b, 0x3C, 0xFFFFFFF0); }},
      {"e_lfanew at the last bytes", [](Bytes& b) { Put32(b, 0x3C, static_cast<std::uint32_t>(b.size() - 2)); }},
      {"no PE signature", [&](Bytes& b) { b[f.nt] = 'N'; }},
      {"32-bit machine", [&](Bytes& b) { Put16(b, f.nt + 4, 0x14C); }},
      {"PE32 optional header", [&](Bytes& b) { Put16(b, f.optional, 0x10B); }},
      {"optional header larger than the file", [&](Bytes& b) { Put16(b, f.nt + 20, 0xFFFF); }},
      {"65535 sections", [&](Bytes& b) { Put16(b, f.nt + 6, 0xFFFF); }},
      {"SizeOfImage 0", [&](Bytes& b) { Put32(b, f.optional + 56, 0); }},
      {"SizeOfImage 4 GB", [&](Bytes& b) { Put32(b, f.optional + 56, 0xFFFFF000); }},
      {"SizeOfHeaders beyond the file", [&](Bytes& b) { Put32(b, f.optional + 60, 0x7FFFFFFF); }},
      {"entry point outside", [&](Bytes& b) { Put32(b, f.optional + 16, 0xFFFFFF00); }},
      {"100 directories", [&](Bytes& b) { Put32(b, f.optional + 108, 100); }},
      {"import directory outside", [&](Bytes& b) { Put32(b, f.optional + 112 + 8, 0xFFFFFF00); }},
      {"section data beyond the file", [&](Bytes& b) { Put32(b, f.firstSection + 20, 0xFFFFFF00); }},
      {"section data size wraps", [&](Bytes& b) { Put32(b, f.firstSection + 16, 0xFFFFFFFF); Put32(b, f.firstSection + 8, 0); }},
      {"section beyond SizeOfImage", [&](Bytes& b) { Put32(b, f.firstSection + 12, 0x7FFF0000); }},
      {"import name outside", [&](Bytes& b) { Put32(b, f.FileOffset(importRva) + 12, 0xFFFFFFF0); }},
      {"import lookup table outside", [&](Bytes& b) { Put32(b, f.FileOffset(importRva), 0xFFFFFFF0); }},
      {"import address table outside", [&](Bytes& b) { Put32(b, f.FileOffset(importRva) + 16, 0xFFFFFFF0); }},
      {"relocation block size 0", [&](Bytes& b) { Put32(b, f.FileOffset(relocationRva) + 4, 0); }},
      {"relocation block beyond its directory", [&](Bytes& b) { Put32(b, f.FileOffset(relocationRva) + 4, 0x7FFFFFF0); }},
      {"relocation page outside", [&](Bytes& b) { Put32(b, f.FileOffset(relocationRva), 0x7FFFF000); }},
  };
  // The preferred base is taken, so that the relocations are walked as well.
  ReservedRange taken(f.layout.preferredBase, f.layout.sizeOfImage);
  for (const Case& c : cases) {
    Bytes damaged = good;
    c.damage(damaged);
    std::string error;
    EXPECT_EQ(MemoryModule::Load(damaged, &error), nullptr) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

// Random damage to copies of the real skin library: in the headers, where every
// offset lives, in the directories the loader walks, or anywhere. Code is never run
// (a library whose instructions are damaged cannot be made safe by any loader):
// each copy is laid out, relocated, linked and protected, or refused.
TEST(MemoryModule, RandomlyDamagedSkinLibrariesLoadOrFailCleanly) {
  const Bytes good(assets::SkinLibraryImage().begin(), assets::SkinLibraryImage().end());
  const Fields f(good);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> regions = {{0, f.layout.sizeOfHeaders}, {0, static_cast<std::uint32_t>(good.size())}};
  for (std::size_t index : {pe::kImportDirectory, pe::kRelocationDirectory, pe::kExceptionDirectory, pe::kExportDirectory}) {
    const pe::DataDirectory directory = f.layout.directories[index];
    if (directory.size != 0 && f.FileOffset(directory.rva) != 0) regions.push_back({f.FileOffset(directory.rva), directory.size});
  }
  ReservedRange taken(f.layout.preferredBase, f.layout.sizeOfImage);
  std::mt19937 random(20261210);
  int loaded = 0, refused = 0;
  for (int copy = 0; copy < 400; ++copy) {
    Bytes damaged = good;
    const auto [start, length] = regions[copy % regions.size()];
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) {
      const std::uint32_t at = start + random() % length;
      if (at < damaged.size()) damaged[at] = static_cast<std::uint8_t>(random());
    }
    std::string error;
    auto module = MemoryModule::Load(damaged, &error, MemoryModule::Run::MapOnly);
    (module ? loaded : refused) += 1;
    if (!module) {
      EXPECT_FALSE(error.empty());
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
  std::printf("damaged copies: %d mapped, %d refused\n", loaded, refused);
}

}  // namespace
}  // namespace kivora
