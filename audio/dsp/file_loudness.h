// The loudness of an MP3 or WAVE file, decoded and measured a step at a time on
// the calling thread (long files are slow: call it off the UI thread). Nothing
// when the file cannot be opened or decoded, or stop turned true before the end.
#pragma once

#include <optional>
#include <string>

#include "audio/dsp/loudness_meter.h"

namespace kivora::audio {

std::optional<ClipLoudness> MeasureFile(const std::wstring& path, const std::atomic<bool>* stop = nullptr);

}  // namespace kivora::audio
