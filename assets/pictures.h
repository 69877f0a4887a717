// Pictures built into the program (see pictures.S): PNG files, ready for
// kivora::ui::DecodePng.
#pragma once

#include <span>

namespace kivora::assets {

// One picture drawn for one display scale: its PNG and the DPI it is drawn for.
struct ScaledPicture {
  int dpi;
  std::span<const unsigned char> png;
};
using PictureSet = std::span<const ScaledPicture>;

// The drawing in a set made for the DPI nearest to dpi (the larger on a tie).
std::span<const unsigned char> NearestPicture(PictureSet set, int dpi);

// 20 x 20 RGBA speaker with sound waves, for the volume button, at 100 %.
std::span<const unsigned char> SpeakerPng();

// The same speaker with a red cross in place of the waves: sound is off.
std::span<const unsigned char> SpeakerMutedPng();

// Both speakers at 100, 125, 150 and 200 % (20, 25, 30 and 40 pixels square).
PictureSet SpeakerPictures();
PictureSet SpeakerMutedPictures();

}  // namespace kivora::assets
