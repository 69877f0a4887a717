// The integrated loudness of raw 16-bit little-endian PCM (what the tests' sound
// device file holds): SECONDS of sound from the first sample that is not silence
// after FROM_BYTE, so the device's start-up delay does not count. This is how the
// end-to-end tests hear how loud a sound reached the device.
//   loudness_probe FILE RATE CHANNELS FROM_BYTE SECONDS   prints LUFS, or "-inf"
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "audio/dsp/loudness_meter.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: loudness_probe FILE RATE CHANNELS FROM_BYTE SECONDS\n");
    return 1;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) return 1;
  const auto rate = static_cast<unsigned>(std::atoi(argv[2]));
  const auto channels = static_cast<unsigned>(std::atoi(argv[3]));
  if (rate == 0 || channels == 0 || channels > 2) return 1;
  kivora::audio::LoudnessMeter meter(rate, channels);
  in.seekg(std::atoll(argv[4]));
  auto left = static_cast<long long>(std::atof(argv[5]) * rate) * channels;  // samples still to measure
  bool sounding = false;
  std::vector<int16_t> chunk(4096 * channels);
  std::vector<float> samples;
  while (in && left > 0) {
    in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size() * 2));
    const size_t got = static_cast<size_t>(in.gcount()) / 2 / channels * channels;
    if (got == 0) break;
    samples.clear();
    for (size_t i = 0; i < got && left > 0; i += channels) {
      sounding = sounding || std::abs(chunk[i]) > 32 || std::abs(chunk[i + channels - 1]) > 32;
      if (!sounding) continue;
      for (unsigned c = 0; c < channels; ++c) samples.push_back(static_cast<float>(chunk[i + c]) / 32768.0f);
      left -= channels;
    }
    meter.Add(samples);
  }
  if (left > 0) {
    std::fprintf(stderr, "loudness_probe: the sound ended before its %s s\n", argv[5]);
    return 1;
  }
  std::printf("%.2f\n", meter.IntegratedLufs());
  return 0;
}
