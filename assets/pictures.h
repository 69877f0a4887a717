// Pictures built into the program (see pictures.S): PNG files, ready for
// kivora::ui::DecodePng.
#pragma once

#include <span>

namespace kivora::assets {

// 20 x 20 RGBA speaker with sound waves, for the volume button.
std::span<const unsigned char> SpeakerPng();

// The same speaker with a red cross in place of the waves: sound is off.
std::span<const unsigned char> SpeakerMutedPng();

}  // namespace kivora::assets
