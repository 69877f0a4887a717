// How long a sound file plays, read from its headers without decoding it: a
// WAVE file's format and data size; an MP3 file's info frame, or else a walk
// over its frame headers. Pure code over a ByteSource.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/decode/pcm_decoder.h"

namespace kivora::remote {

// Milliseconds, or nothing when the file is neither a WAVE nor an MP3 file this
// program reads.
std::optional<int64_t> ClipLengthMs(audio::ByteSource& source);

}  // namespace kivora::remote
