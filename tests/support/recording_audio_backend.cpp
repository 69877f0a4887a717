#include "recording_audio_backend.h"

#include <utility>

namespace kivora::testing {

audio::DeviceResult RecordingAudioBackend::Open(const std::wstring& deviceType, const std::wstring& path,
                                                const std::wstring& alias) {
  calls.push_back(L"open " + deviceType + L" " + alias + L" " + path);
  return NextResult();
}

audio::DeviceResult RecordingAudioBackend::Send(const std::wstring& command) {
  calls.push_back(command);
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
