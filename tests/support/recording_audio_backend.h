// An audio back end for fast tests: it records every call the Player makes and
// answers from a script instead of opening a device.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "audio/engine/audio_backend.h"

namespace kivora::testing {

class RecordingAudioBackend final : public audio::AudioBackend {
 public:
  // Each call is recorded as one line: "open <type> <alias> <path>" or the command string itself.
  std::vector<std::wstring> calls;

  // Results handed out in order to the next calls; once used up, every call
  // answers defaultResult.
  std::deque<audio::DeviceResult> scriptedResults;
  audio::DeviceResult defaultResult = 0;
  // When set, every recorded call names the alias this way (a Player the test did
  // not make has a fresh GUID for an alias). The alias is the command's second word.
  std::wstring showAliasAs;

  audio::DeviceResult Open(const std::wstring& deviceType, const std::wstring& path,
                           const std::wstring& alias) override;
  audio::DeviceResult Send(const std::wstring& command) override;

  // Each press's shape, as the Player hands it on before the sound opens, with whether it cuts off the others.
  struct Shaped {
    audio::SoundPress press;
    bool cutsOthers;
  };
  std::vector<Shaped> shapes;
  void ShapeNextSound(const audio::SoundPress& press, bool cutsOthers) override { shapes.push_back({press, cutsOthers}); }

  // The calls since the last TakeCalls, which are then forgotten.
  std::vector<std::wstring> TakeCalls();

 private:
  audio::DeviceResult NextResult();
};

}  // namespace kivora::testing
