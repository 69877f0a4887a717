// A clip as one press plays it: its level, its trim (frames skipped at the file's
// start and before its end), a fade in over its first frames and a fade out over
// its last, and a loop that goes back to the trimmed start, sample for sample,
// when the clip ends. All of it happens as the clip is decoded, on the thread that
// decodes, so what reaches a sound device is already shaped. The file is never
// changed. Pure code.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "audio/decode/pcm_decoder.h"
#include "audio/dsp/voice_envelope.h"

namespace kivora::audio {

struct ClipShape {
  float gain = 1.0f;  // amplitude factor, on top of the file's own gain
  int fadeInMs = 0;
  int fadeOutMs = 0;
  int headMs = 0;  // skipped at the clip's start
  int tailMs = 0;  // skipped before the clip's end
  bool loop = false;

  bool operator==(const ClipShape&) const = default;
  bool IsPlain() const { return *this == ClipShape{}; }
};

// Opens the clip again from its start, for the next turn of a loop; nothing when
// it cannot.
using ClipReopener = std::function<std::unique_ptr<PcmDecoder>()>;

// decoder's samples as shape says. A loop needs reopen; without it the clip plays
// once. The decoder itself when the shape is plain.
std::unique_ptr<PcmDecoder> WithShape(std::unique_ptr<PcmDecoder> decoder, const ClipShape& shape,
                                      ClipReopener reopen = {});

}  // namespace kivora::audio
