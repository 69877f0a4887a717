// The device commands the Player sends, behind an interface so that tests can
// record them and answer from a script instead of opening a sound device.
#pragma once

#include <string>

#include "audio/engine/sound_press.h"

namespace kivora::audio {

// An MCI error code; 0 is success.
using DeviceResult = unsigned long;

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  // Opens the file at path as one device of deviceType, named alias for later commands.
  virtual DeviceResult Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) = 0;

  // Sends one command string such as "play <alias>".
  virtual DeviceResult Send(const std::wstring& command) = 0;

  // A back end that plays several sounds at once and shapes them. The defaults
  // are a back end that cannot: every sound cuts off the one before, as it is.
  // How the sound opened next plays; cutsOthers false: the open sound plays on
  // when the next one opens (its close lets it go without stopping it).
  virtual void ShapeNextSound(const SoundPress& /*press*/, bool /*cutsOthers*/) {}
  // A sound the button key started is still to be heard (paused counts).
  virtual bool Sounding(const std::wstring& /*key*/) { return false; }
  // Fades out every sound the button key started.
  virtual void StopSound(const std::wstring& /*key*/) {}
};

}  // namespace kivora::audio
