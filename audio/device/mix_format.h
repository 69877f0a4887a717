// The sample formats the WASAPI streams read and write, shared by output and capture.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <objbase.h>

#include <optional>

namespace kivora::audio {

enum class SampleKind { Float32, Int16 };

// The kind of sample a mix format holds, when it is one the streams handle.
std::optional<SampleKind> KindOf(const WAVEFORMATEX& format);

// 32-bit float stereo at rate, for the system to convert to the device's mix.
WAVEFORMATEXTENSIBLE FloatStereo(DWORD rate);

// A format the audio client handed out, freed with it.
struct CoTaskFormat {
  WAVEFORMATEX* format = nullptr;
  CoTaskFormat() = default;
  CoTaskFormat(const CoTaskFormat&) = delete;
  CoTaskFormat& operator=(const CoTaskFormat&) = delete;
  ~CoTaskFormat() { CoTaskMemFree(format); }
};

}  // namespace kivora::audio
