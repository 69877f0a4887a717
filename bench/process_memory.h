// Where a benchmark's process spends its memory and CPU, read from /proc under
// Wine: private memory (pages no other process maps) per mapping, with the
// anonymous memory told apart by what Windows knows of it (heaps, thread
// stacks, an image loaded from memory, other VirtualAlloc, or Wine's own Unix
// side), and CPU time per thread. Header only: every .cpp here is a program.
#pragma once

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kivora::bench {

// Reads a whole small file through Wine's drive Z: (here: the process's own /proc entries).
inline std::string ReadLinuxFile(const std::string& linuxPath) {
  std::ifstream in(std::filesystem::path("Z:" + linuxPath), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// This process as Linux knows it. Wine opens files in its server, so
// /proc/self would be the server's entry: the process is found by its command
// line (the program's name) and by its Wine prefix, so that the same benchmark
// running in another developer's session is never taken for this one; of what
// is left, the largest is the Wine process itself.
inline std::string LinuxProcessFolder(const char* programName) {
  std::string best;
  size_t bestSize = 0;
  wchar_t prefix[MAX_PATH] = {};
  GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
  std::string prefixEntry = "WINEPREFIX=";
  for (const wchar_t* c = prefix; *c; ++c) prefixEntry += static_cast<char>(*c);
  prefixEntry += '\0';
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return best;
  do {
    if (found.cFileName[0] < '0' || found.cFileName[0] > '9') continue;
    const std::string candidate = std::string("/proc/") + found.cFileName;
    const std::string commandLine = ReadLinuxFile(candidate + "/cmdline");
    if (commandLine.find(programName) == std::string::npos || commandLine.find("bash") != std::string::npos) continue;
    if (prefix[0] && ReadLinuxFile(candidate + "/environ").find(prefixEntry) == std::string::npos) continue;
    const size_t size = ReadLinuxFile(candidate + "/smaps_rollup").size();
    if (size > bestSize) best = candidate, bestSize = size;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return best;
}

// The number after field in a /proc text ("Private_Dirty:     12 kB"), 0 when absent.
inline double FieldValue(const std::string& text, const char* field) {
  const size_t at = text.find(field);
  return at == std::string::npos ? 0.0 : std::atof(text.c_str() + at + std::strlen(field));
}

// Private memory of the process (clean and dirty pages no other process maps), in MB.
inline double PrivateMegabytes(const std::string& folder) {
  const std::string rollup = ReadLinuxFile(folder + "/smaps_rollup");
  return (FieldValue(rollup, "Private_Clean:") + FieldValue(rollup, "Private_Dirty:")) / 1024.0;
}

// User and system CPU time from a /proc stat line, in ms (clock ticks of 10 ms).
inline double StatCpuMs(const std::string& stat) {
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  // After the command name: state is field 3; utime and stime are fields 14 and 15.
  const char* at = stat.c_str() + close + 2;
  double user = 0, system = 0;
  for (int field = 3; field <= 15 && *at; ++field) {
    if (field == 14) user = std::atof(at);
    if (field == 15) system = std::atof(at);
    while (*at && *at != ' ') ++at;
    while (*at == ' ') ++at;
  }
  return (user + system) * 10.0;
}

inline double CpuMs(const std::string& folder) { return StatCpuMs(ReadLinuxFile(folder + "/stat")); }

// CPU time so far of each thread, by Linux thread id, with the thread's name.
struct ThreadCpu {
  std::string name;
  double ms = 0;
};
inline std::map<int, ThreadCpu> CpuMsByThread(const std::string& folder) {
  std::map<int, ThreadCpu> threads;
  std::string pattern = "Z:" + folder + "/task/*";
  std::replace(pattern.begin(), pattern.end(), '/', '\\');
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return threads;
  do {
    if (found.cFileName[0] < '0' || found.cFileName[0] > '9') continue;
    const std::string task = folder + "/task/" + found.cFileName;
    std::string name = ReadLinuxFile(task + "/comm");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
    threads[std::atoi(found.cFileName)] = {name, StatCpuMs(ReadLinuxFile(task + "/stat"))};
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return threads;
}

// Prints the threads that used CPU between two snapshots taken wallMs apart.
inline void PrintThreadCpu(const char* what, const std::map<int, ThreadCpu>& before, const std::map<int, ThreadCpu>& after,
                           double wallMs) {
  std::printf("CPU by thread, %s (%% of one core over %.0f ms):\n", what, wallMs);
  for (const auto& [tid, thread] : after) {
    const auto earlier = before.find(tid);
    const double used = thread.ms - (earlier == before.end() ? 0.0 : earlier->second.ms);
    if (used > 0) std::printf("  %-7d %-18s %5.2f %%\n", tid, thread.name.c_str(), 100.0 * used / wallMs);
  }
}

// One mapping of /proc/<pid>/smaps with the figures that matter here, in kB.
struct Mapping {
  uintptr_t start = 0, end = 0;
  std::string path;  // empty for anonymous memory; "[heap]", "[stack]" and the like for the kernel's own
  double privateClean = 0, privateDirty = 0;
};

inline std::vector<Mapping> ReadMappings(const std::string& folder) {
  std::vector<Mapping> mappings;
  std::istringstream lines(ReadLinuxFile(folder + "/smaps"));
  std::string line;
  while (std::getline(lines, line)) {
    const size_t dash = line.find('-');
    const size_t space = line.find(' ');
    if (dash != std::string::npos && space != std::string::npos && dash < space &&
        line.find_first_not_of("0123456789abcdef") == dash) {
      Mapping mapping;
      mapping.start = std::strtoull(line.c_str(), nullptr, 16);
      mapping.end = std::strtoull(line.c_str() + dash + 1, nullptr, 16);
      // Six fields before the path: range, permissions, offset, device, inode.
      std::istringstream fields(line);
      std::string skip;
      for (int i = 0; i < 5; ++i) fields >> skip;
      std::getline(fields >> std::ws, mapping.path);
      mappings.push_back(mapping);
    } else if (!mappings.empty()) {
      if (line.rfind("Private_Clean:", 0) == 0) mappings.back().privateClean = FieldValue(line, "Private_Clean:");
      if (line.rfind("Private_Dirty:", 0) == 0) mappings.back().privateDirty = FieldValue(line, "Private_Dirty:");
    }
  }
  return mappings;
}

// Address ranges Windows knows as thread stacks and as heap memory.
struct WindowsRanges {
  std::vector<std::pair<uintptr_t, uintptr_t>> stacks;
  std::vector<uintptr_t> heapAllocations;  // allocation bases of heap segments and large blocks
};

// Each thread of this process with the range its stack lies in: visit(thread
// handle (for queries), thread ID, low, high).
template <typename Visit>
void ForEachThreadStack(Visit visit) {
  using QueryThread = NTSTATUS(NTAPI*)(HANDLE, THREADINFOCLASS, PVOID, ULONG, PULONG);
  const auto queryThread = reinterpret_cast<QueryThread>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
  struct BasicInformation {
    NTSTATUS exitStatus;
    PVOID tebBase;
    CLIENT_ID clientId;
    ULONG_PTR affinity;
    LONG priority, basePriority;
  };
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
    BasicInformation basic{};
    if (thread && queryThread && queryThread(thread, static_cast<THREADINFOCLASS>(0), &basic, sizeof(basic), nullptr) == 0) {
      const auto* tib = static_cast<const NT_TIB*>(basic.tebBase);
      MEMORY_BASIC_INFORMATION info{};
      if (VirtualQuery(tib->StackLimit, &info, sizeof(info))) {
        visit(thread, entry.th32ThreadID, reinterpret_cast<uintptr_t>(info.AllocationBase),
              reinterpret_cast<uintptr_t>(tib->StackBase));
      }
    }
    if (thread) CloseHandle(thread);
  }
  CloseHandle(snapshot);
}

// Each entry of each of this process's heaps, every heap locked while it is walked.
template <typename Visit>
void ForEachHeapEntry(Visit visit) {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  for (HANDLE heap : heaps) {
    HeapLock(heap);
    PROCESS_HEAP_ENTRY walk{};
    while (HeapWalk(heap, &walk)) visit(static_cast<const PROCESS_HEAP_ENTRY&>(walk));
    HeapUnlock(heap);
  }
}

inline WindowsRanges KnownWindowsRanges() {
  WindowsRanges ranges;
  ForEachThreadStack([&](HANDLE, DWORD, uintptr_t low, uintptr_t high) { ranges.stacks.push_back({low, high}); });

  ForEachHeapEntry([&](const PROCESS_HEAP_ENTRY& walk) {
    MEMORY_BASIC_INFORMATION info{};
    if (walk.lpData && VirtualQuery(walk.lpData, &info, sizeof(info))) {
      ranges.heapAllocations.push_back(reinterpret_cast<uintptr_t>(info.AllocationBase));
    }
  });
  std::sort(ranges.heapAllocations.begin(), ranges.heapAllocations.end());
  ranges.heapAllocations.erase(std::unique(ranges.heapAllocations.begin(), ranges.heapAllocations.end()),
                               ranges.heapAllocations.end());
  return ranges;
}

// What a run of anonymous memory at address is, as Windows sees it.
inline std::string AnonymousKind(uintptr_t address, const WindowsRanges& known) {
  MEMORY_BASIC_INFORMATION info{};
  if (!VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof(info)) || info.State != MEM_COMMIT) {
    return "Wine Unix side: malloc, anonymous mmap";
  }
  const auto base = reinterpret_cast<uintptr_t>(info.AllocationBase);
  for (const auto& [low, high] : known.stacks) {
    if (address >= low && address < high) return "thread stacks";
  }
  if (std::binary_search(known.heapAllocations.begin(), known.heapAllocations.end(), base)) return "Windows heaps";
  if (info.Type == MEM_IMAGE) return "PE images (anonymous part)";
  if (info.Type == MEM_MAPPED) return "section views (shared memory, DIB sections)";
  // An allocation that starts with a PE header: an image loaded by hand from memory.
  const auto* header = reinterpret_cast<const char*>(base);
  MEMORY_BASIC_INFORMATION first{};
  if (VirtualQuery(header, &first, sizeof(first)) && first.State == MEM_COMMIT && !(first.Protect & (PAGE_NOACCESS | PAGE_GUARD)) &&
      header[0] == 'M' && header[1] == 'Z') {
    return "PE image loaded from memory";
  }
  return "other VirtualAlloc (Wine's PEB/TEBs, GDI, ours)";
}

// The group a file-backed mapping counts in: the file's name, with the many
// small ones of a kind gathered.
inline std::string FileGroup(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  if (path.find("/wine/x86_64-windows/") != std::string::npos) return "PE " + name;
  if (path.find("/wine/x86_64-unix/") != std::string::npos) return "Wine unix " + name;
  if (path.find("/fonts/") != std::string::npos || name.ends_with(".ttf") || name.ends_with(".ttc")) return "fonts";
  if (path.find("gstreamer") != std::string::npos || name.starts_with("libgst")) return "GStreamer and its plugins";
  if (name.ends_with(".exe") || name.ends_with(".dll")) return "PE " + name;
  return name;
}

struct MemoryGroup {
  std::string name;
  double privateClean = 0, privateDirty = 0;
  bool fileBacked = false;
};

// Private memory of the process by group, largest first.
inline std::vector<MemoryGroup> PrivateMemoryByGroup(const std::string& folder) {
  const WindowsRanges known = KnownWindowsRanges();
  std::map<std::string, MemoryGroup> groups;
  for (const Mapping& mapping : ReadMappings(folder)) {
    if (mapping.privateClean + mapping.privateDirty == 0) continue;
    const bool file = !mapping.path.empty() && mapping.path[0] == '/';
    std::string name;
    if (file) name = FileGroup(mapping.path);
    else if (mapping.path == "[heap]") name = "Wine Unix side: malloc, anonymous mmap";
    else if (!mapping.path.empty()) name = mapping.path;
    else name = AnonymousKind(mapping.start, known);
    // KIVORA_MEMORY_DETAIL=1 lists every mapping that holds private pages, with its group.
    if (std::getenv("KIVORA_MEMORY_DETAIL")) {
      MEMORY_BASIC_INFORMATION info{};
      VirtualQuery(reinterpret_cast<void*>(mapping.start), &info, sizeof(info));
      std::printf("    %012llx-%012llx %8.0f kB private  %-40s %s (allocation %p, type %lx, protect %lx)\n",
                  static_cast<unsigned long long>(mapping.start), static_cast<unsigned long long>(mapping.end),
                  mapping.privateClean + mapping.privateDirty, name.c_str(), mapping.path.c_str(), info.AllocationBase,
                  info.Type, info.Protect);
    }
    MemoryGroup& group = groups[name];
    group.name = name;
    group.fileBacked = file;
    group.privateClean += mapping.privateClean;
    group.privateDirty += mapping.privateDirty;
  }
  std::vector<MemoryGroup> sorted;
  for (auto& [name, group] : groups) sorted.push_back(group);
  std::sort(sorted.begin(), sorted.end(), [](const MemoryGroup& a, const MemoryGroup& b) {
    return a.privateClean + a.privateDirty > b.privateClean + b.privateDirty;
  });
  return sorted;
}

// Bytes in use in each heap of the process (busy blocks), by heap, largest first:
// how much of the heaps' memory the program and the libraries actually hold.
inline std::vector<std::pair<HANDLE, double>> HeapBusyKilobytes() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  std::vector<std::pair<HANDLE, double>> busy;
  for (HANDLE heap : heaps) {
    double bytes = 0;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY walk{};
    while (HeapWalk(heap, &walk)) {
      if (walk.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += walk.cbData;
    }
    HeapUnlock(heap);
    busy.push_back({heap, bytes / 1024.0});
  }
  std::sort(busy.begin(), busy.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  return busy;
}

inline void PrintHeapBusy(const char* what, const std::vector<std::pair<HANDLE, double>>& busy) {
  std::printf("heap blocks in use, %s:", what);
  for (const auto& [heap, kilobytes] : busy) {
    if (kilobytes >= 16) std::printf("  %p %.0f kB%s", heap, kilobytes, heap == GetProcessHeap() ? " (process heap)" : "");
  }
  std::printf("\n");
}

// Prints the groups above minimumKb, the rest summed, and the clean file pages apart.
inline void PrintMemoryGroups(const char* what, const std::vector<MemoryGroup>& groups, double minimumKb = 256) {
  std::printf("private memory by mapping, %s (kB: clean + dirty):\n", what);
  double rest = 0, total = 0, cleanFile = 0;
  for (const MemoryGroup& group : groups) {
    const double sum = group.privateClean + group.privateDirty;
    total += sum;
    if (group.fileBacked) cleanFile += group.privateClean;
    if (sum < minimumKb) {
      rest += sum;
      continue;
    }
    std::printf("  %8.0f  %7.0f + %7.0f  %s\n", sum, group.privateClean, group.privateDirty, group.name.c_str());
  }
  std::printf("  %8.0f  the rest, in groups under %.0f kB\n", rest, minimumKb);
  std::printf("  %8.0f  total; of it %.0f kB clean pages of files only this process maps (the kernel can drop them)\n",
              total, cleanFile);
}

}  // namespace kivora::bench
