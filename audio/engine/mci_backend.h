// The audio back end of the program: the Windows Media Control Interface.
#pragma once

#include "audio/engine/audio_backend.h"

namespace kivora::audio {

class MciBackend final : public AudioBackend {
 public:
  DeviceResult Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) override;
  DeviceResult Send(const std::wstring& command) override;
};

}  // namespace kivora::audio
