#include "assets/pictures.h"

// Start and end labels from pictures.S; the assembler gives them no size, so the
// length is the distance between them.
extern "C" {
extern const unsigned char kivora_speaker_png[];
extern const unsigned char kivora_speaker_png_end[];
extern const unsigned char kivora_speaker_muted_png[];
extern const unsigned char kivora_speaker_muted_png_end[];
}

namespace kivora::assets {

std::span<const unsigned char> SpeakerPng() {
  return {kivora_speaker_png, kivora_speaker_png_end};
}

std::span<const unsigned char> SpeakerMutedPng() {
  return {kivora_speaker_muted_png, kivora_speaker_muted_png_end};
}

}  // namespace kivora::assets
