#include "recording_audio_backend.h"

#include <utility>

namespace kivora::testing {

audio::DeviceResult RecordingAudioBackend::Open(const std::wstring& deviceType, const std::wstring& path,
                                                const std::wstring& alias) {
  calls.push_back(L"open " + deviceType + L" " + (showAliasAs.empty() ? alias : showAliasAs) + L" " + path);
  return NextResult();
}

audio::DeviceResult RecordingAudioBackend::Send(const std::wstring& command) {
  std::wstring recorded = command;
  const size_t aliasStart = recorded.find(L' ');
  if (!showAliasAs.empty() && aliasStart != std::wstring::npos) {
    const size_t aliasEnd = recorded.find(L' ', aliasStart + 1);
    recorded.replace(aliasStart + 1, (aliasEnd == std::wstring::npos ? recorded.size() : aliasEnd) - aliasStart - 1,
                     showAliasAs);
  }
  calls.push_back(std::move(recorded));
  return NextResult();
}

std::vector<std::wstring> RecordingAudioBackend::TakeCalls() { return std::exchange(calls, {}); }

audio::DeviceResult RecordingAudioBackend::NextResult() {
  if (scriptedResults.empty()) return defaultResult;
  const audio::DeviceResult result = scriptedResults.front();
  scriptedResults.pop_front();
  return result;
}

}  // namespace kivora::testing
