#include "audio/decode/g711.h"

namespace kivora::audio {

float MuLawSample(uint8_t code) {
  // Stored inverted; the magnitude is a 4-bit mantissa on a biased segment.
  constexpr int kBias = 0x84;
  const int inverted = static_cast<uint8_t>(~code);
  const int exponent = (inverted >> 4) & 7;
  const int magnitude = (((inverted & 0x0F) << 3) + kBias) << exponent;
  const int value = (inverted & 0x80) ? kBias - magnitude : magnitude - kBias;
  return value / 32768.0f;
}

float ALawSample(uint8_t code) {
  // Even bits stored inverted; a set sign bit is positive.
  const int toggled = code ^ 0x55;
  const int exponent = (toggled >> 4) & 7;
  const int mantissa = toggled & 0x0F;
  const int magnitude = exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
  const int value = (toggled & 0x80) ? magnitude : -magnitude;
  return value / 32768.0f;
}

}  // namespace kivora::audio
