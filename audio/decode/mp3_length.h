// How many frames an MP3 file decodes to, known before a sample is decoded:
// what a Layer III codec gives for its audio frames (a frame's worth of
// samples each), less what the gapless trim takes from each segment
// (gapless_trimmer.h). The info frame at the start tells, when the file's size
// agrees with the bytes it counts; otherwise every frame's header is read,
// none decoded. Pure code over a ByteSource.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

// Reads source from its start. Nothing when it holds no Layer III frame, or
// frames of more than one format (files of two rates joined), whose frames are
// not counted in one rate.
std::optional<uint64_t> Mp3DecodedFrames(ByteSource& source);

// The same by reading every frame's header, whatever the info frame says.
std::optional<uint64_t> Mp3DecodedFramesByScan(ByteSource& source);

}  // namespace kivora::audio
