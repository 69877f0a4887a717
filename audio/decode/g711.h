// G.711 samples (the telephone μ-law and A-law codes, 8 bits each) as the
// 16-bit linear values the standard gives them, over 32768. Pure code.
#pragma once

#include <cstdint>

namespace kivora::audio {

float MuLawSample(uint8_t code);
float ALawSample(uint8_t code);

}  // namespace kivora::audio
