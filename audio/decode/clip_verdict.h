// Whether a file the engine could not play is one it knows to be damaged: a
// RIFF/WAVE file without a format that makes sense before its data, or an MP3
// file (an ID3 tag, or a Layer III frame sync of a real MPEG version) in whose
// first 64 KB no two valid frames follow each other. Such a file gives silence
// and never reaches the system's media player, whose drivers divide by its zero
// channel count or write where its sizes point. So does a file that holds no
// sound for any player: an empty one, or text. Anything else the engine does not
// recognise (WMA, an AAC stream named .mp3) is left to that player, as is a good
// file that merely decodes to nothing. Pure code over the file's bytes.
#pragma once

#include <cstdint>
#include <span>

#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

enum class ClipKind { Unrecognised, Wave, MpegAudio, NoSound };

// What the first bytes of a file say it is.
ClipKind RecogniseClip(std::span<const uint8_t> head);

// Whether the file behind source, read from its start, is one this engine
// recognises and knows to be damaged.
bool KnownDamaged(ByteSource& source);

// The same for a file held whole in bytes.
bool KnownDamaged(std::span<const uint8_t> bytes);

}  // namespace kivora::audio
