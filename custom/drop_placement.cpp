#include "custom/drop_placement.h"

#include <algorithm>
#include <cwctype>

namespace kivora {

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsSoundFileName(const std::wstring& path) {
  const size_t dot = path.find_last_of(L'.');
  if (dot == std::wstring::npos || path.find_first_of(L"\\/", dot) != std::wstring::npos) return false;
  std::wstring extension = path.substr(dot + 1);
  for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
  return extension == L"mp3" || extension == L"wav";
}

DropPlacement PlaceDroppedFiles(const std::vector<std::wstring>& files, const std::array<bool, kDropSlotCount>& filled,
                                int fromSlot, const std::function<std::wstring(const std::wstring&)>& storable,
                                const std::function<bool(const std::wstring&)>& playable) {
  DropPlacement placement;
  int next = std::clamp(fromSlot, 1, kDropSlotCount);
  auto nextEmpty = [&] {
    while (next <= kDropSlotCount && filled[static_cast<size_t>(next - 1)]) ++next;
  };
  for (const std::wstring& file : files) {
    if (!IsSoundFileName(file)) {
      ++placement.notSound;
      continue;
    }
    nextEmpty();
    if (next > kDropSlotCount) {
      ++placement.notFitting;
      continue;
    }
    std::wstring stored = storable(file);
    if (stored.empty()) {
      ++placement.unstorable;
      continue;
    }
    if (!playable(file)) {
      placement.unplayable.push_back(file);
      continue;
    }
    placement.placed.push_back({next, file, std::move(stored)});
    ++next;
  }
  return placement;
}

std::wstring DropSummary(const DropPlacement& placement) {
  std::wstring text = L"已添加 " + std::to_wstring(placement.placed.size()) + L" 个音效，" +
                      std::to_wstring(placement.notFitting) + L" 个没有空位放不下。";
  if (placement.notSound > 0) text += L"\n" + std::to_wstring(placement.notSound) + L" 个不是MP3或WAV文件，已跳过。";
  if (placement.unstorable > 0) {
    text += L"\n" + std::to_wstring(placement.unstorable) + L" 个文件的名字含有无法保存的字符，已跳过。";
  }
  if (!placement.unplayable.empty()) {
    text += L"\n" + std::to_wstring(placement.unplayable.size()) + L" 个文件不能播放（空的、不是声音或已损坏），已跳过：";
    for (const std::wstring& path : placement.unplayable) text += L"\n" + FileNameOf(path);
  }
  return text;
}

}  // namespace kivora
