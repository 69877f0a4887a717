#include "second_output/microphone_notices.h"

namespace kivora {

std::wstring MicrophoneMissingText(const std::wstring& name) {
  return L"麦克风 " + name + L" 未连接，声音照常播放，只是没有你的声音";
}

std::wstring MicrophoneBackText(const std::wstring& name) {
  return L"麦克风 " + name + L" 已连接，你的声音重新混入直播输出";
}

void MicrophoneNotices::Chosen(const std::wstring& id, const std::wstring& name) {
  id_ = id;
  name_ = name.empty() ? id : name;
  told_ = false;
}

std::optional<DeviceChange> MicrophoneNotices::Looked(bool missing) {
  if (id_.empty() || missing == told_) return std::nullopt;
  told_ = missing;
  return DeviceChange{DeviceRole::Microphone, name_, !missing};
}

}  // namespace kivora
