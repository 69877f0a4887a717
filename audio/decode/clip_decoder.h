// The decoder for a clip's bytes: WAVE when they start with a RIFF header (by
// this program's own code, or by the system's codec for ADPCM and GSM), MP3
// otherwise. Nothing when neither can decode them.
#pragma once

#include <memory>

#include "audio/decode/acm_mp3_decoder.h"
#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

std::unique_ptr<PcmDecoder> OpenClipDecoder(std::unique_ptr<ByteSource> source, AcmStreamPool& codecs);

}  // namespace kivora::audio
