#include "assets/pictures.h"

#include <cstdlib>

// Start and end labels from pictures.S; the assembler gives them no size, so the
// length is the distance between them.
#define KIVORA_PICTURE(name)                 \
  extern const unsigned char name[];         \
  extern const unsigned char name##_end[];
extern "C" {
KIVORA_PICTURE(kivora_speaker_png)
KIVORA_PICTURE(kivora_speaker_125_png)
KIVORA_PICTURE(kivora_speaker_150_png)
KIVORA_PICTURE(kivora_speaker_200_png)
KIVORA_PICTURE(kivora_speaker_muted_png)
KIVORA_PICTURE(kivora_speaker_muted_125_png)
KIVORA_PICTURE(kivora_speaker_muted_150_png)
KIVORA_PICTURE(kivora_speaker_muted_200_png)
}
#undef KIVORA_PICTURE

namespace kivora::assets {
namespace {

#define KIVORA_BYTES(name) std::span<const unsigned char>(name, name##_end)

const ScaledPicture kSpeakers[] = {
    {96, KIVORA_BYTES(kivora_speaker_png)},
    {120, KIVORA_BYTES(kivora_speaker_125_png)},
    {144, KIVORA_BYTES(kivora_speaker_150_png)},
    {192, KIVORA_BYTES(kivora_speaker_200_png)},
};

const ScaledPicture kMutedSpeakers[] = {
    {96, KIVORA_BYTES(kivora_speaker_muted_png)},
    {120, KIVORA_BYTES(kivora_speaker_muted_125_png)},
    {144, KIVORA_BYTES(kivora_speaker_muted_150_png)},
    {192, KIVORA_BYTES(kivora_speaker_muted_200_png)},
};

#undef KIVORA_BYTES

}  // namespace

std::span<const unsigned char> NearestPicture(PictureSet set, int dpi) {
  const ScaledPicture* nearest = nullptr;
  for (const ScaledPicture& picture : set) {
    if (!nearest || std::abs(picture.dpi - dpi) <= std::abs(nearest->dpi - dpi)) nearest = &picture;
  }
  return nearest ? nearest->png : std::span<const unsigned char>();
}

std::span<const unsigned char> SpeakerPng() { return kSpeakers[0].png; }
std::span<const unsigned char> SpeakerMutedPng() { return kMutedSpeakers[0].png; }
PictureSet SpeakerPictures() { return kSpeakers; }
PictureSet SpeakerMutedPictures() { return kMutedSpeakers; }

}  // namespace kivora::assets
