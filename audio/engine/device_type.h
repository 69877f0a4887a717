// Which MCI device plays a file, chosen by the file's extension.
#pragma once

#include <string_view>

namespace kivora::audio {

// The device type for path: the first three characters after the last dot of
// the file name, compared without regard to case ("wav" -> "waveaudio", "wma"
// -> "MPEGvideo2", ...). Anything unknown, mp3 included, is "MPEGvideo".
std::wstring_view DeviceTypeFor(std::wstring_view path);

}  // namespace kivora::audio
