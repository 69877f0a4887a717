// First-start extraction of the sixty built-in sounds against a plain copy of the
// same bytes (CopyFileW of the extracted files) to the same disk, in one run.
// Prints both medians and their ratio.
//   extraction_bench.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/catalogue_extraction.h"
#include "assets/catalogue.h"
#include "stopwatch.h"

namespace {

using kivora::bench::Median;
using kivora::bench::NowMs;

std::wstring FreshFolder(const std::wstring& base, const wchar_t* name, int round) {
  std::wstring folder = base + name + std::to_wstring(round) + L"\\";
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(folder), ignored);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? _wtoi(argv[1]) : 9;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring base = std::wstring(temp) + L"kivora-extraction-bench\\";
  CreateDirectoryW(base.c_str(), nullptr);

  size_t totalBytes = 0;
  for (const kivora::CatalogueEntry& entry : kivora::Catalogue()) totalBytes += kivora::BodyOf(entry).size();

  std::vector<double> extraction, copy;
  for (int round = 0; round < rounds; ++round) {
    const std::wstring data = FreshFolder(base, L"data", round);
    double start = NowMs();
    kivora::ExtractCatalogue(data);
    extraction.push_back(NowMs() - start);

    const std::wstring target = FreshFolder(base, L"copy", round);
    start = NowMs();
    CreateDirectoryW((target + L"音乐\\").c_str(), nullptr);
    for (const kivora::CatalogueEntry& entry : kivora::Catalogue()) {
      const std::wstring relative(entry.relativePath);
      CopyFileW((data + relative).c_str(), (target + relative).c_str(), FALSE);
    }
    copy.push_back(NowMs() - start);
  }
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(base), ignored);

  const double extractionMs = Median(extraction), copyMs = Median(copy);
  std::printf("%zu bytes in 60 files, %d rounds\n", totalBytes, rounds);
  std::printf("extraction  median %7.1f ms  (%.0f MB/s)\n", extractionMs, totalBytes / 1e3 / extractionMs);
  std::printf("plain copy  median %7.1f ms  (%.0f MB/s)\n", copyMs, totalBytes / 1e3 / copyMs);
  std::printf("ratio extraction / copy: %.2f\n", extractionMs / copyMs);
  return 0;
}
