// Fuzzes the rate converter: any pair of rates from 1000 to 384000 Hz, one to
// eight channels, and any sequence of pushes, pulls, finishes, resets and
// sounds added into the input (the frames asked for appended, written over with
// the pending ones, taken back and appended again). Nothing may read or write
// outside its buffers (each pull gets a buffer of exactly the size it asks
// for), the input asked for a count of outputs gives exactly that many, and
// the whole clip must come out as exactly ceil(frames * out / in) frames of
// bounded samples.
// Input: 3 bytes of input rate, 3 of output rate, 1 of channels, then ops of
// 3 bytes each: what (push, pull, finish, add, reset) and a 16-bit count.
// Run by hand for longer: scripts/run-fuzzer.sh build/native/resampler_fuzzer tests/native/corpus/resampler 600
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/dsp/resampler.h"

namespace {

using kivora::audio::Resampler;

// Keeps one run short whatever the ratio: output frames times taps (about 132
// times the down-ratio) times channels stays under this.
constexpr double kMaxWork = 2e6;

unsigned RateFrom(const uint8_t* bytes) {
  const unsigned raw = bytes[0] | bytes[1] << 8 | bytes[2] << 16;
  return Resampler::kMinRate + raw % (Resampler::kMaxRate - Resampler::kMinRate + 1);
}

[[noreturn]] void Fail(const char* what, unsigned in, unsigned out, unsigned channels, uint64_t a, uint64_t b) {
  std::fprintf(stderr, "resampler %u -> %u, %u channels: %s (%llu, %llu)\n", in, out, channels, what,
               static_cast<unsigned long long>(a), static_cast<unsigned long long>(b));
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 7) return 0;
  const unsigned in = RateFrom(data);
  const unsigned out = RateFrom(data + 3);
  const unsigned channels = 1 + data[6] % 8;
  auto resampler = Resampler::Create(in, out, channels);
  if (!resampler) Fail("refused", in, out, channels, 0, 0);
  const double taps = 132.0 * std::max(1.0, static_cast<double>(in) / out);
  const double maxOutputFrames = kMaxWork / (taps * channels);
  const uint64_t maxInputFrames = static_cast<uint64_t>(std::max(1.0, maxOutputFrames * in / out));

  uint64_t pushed = 0;
  uint64_t pulled = 0;
  bool finished = false;
  float wave = 0;
  const auto pull = [&](size_t frames) {
    std::vector<float> buffer(frames * channels);
    const size_t got = resampler->Pull(buffer.data(), frames);
    if (got > frames) Fail("pulled more than asked", in, out, channels, got, frames);
    for (size_t i = 0; i < got * channels; ++i) {
      // A row sums to 1 and the sum of its magnitudes stays a few units: garbage shows as more.
      if (!(std::abs(buffer[i]) < 16.0f)) Fail("sample out of range", in, out, channels, i, pulled);
    }
    pulled += got;
    return got;
  };
  for (size_t at = 7; at + 3 <= size; at += 3) {
    const unsigned count = data[at + 1] | data[at + 2] << 8;
    switch (data[at] % 5) {
      case 0: {
        if (finished) break;
        const size_t frames = std::min<uint64_t>(count % 5000, maxInputFrames - pushed);
        std::vector<float> samples(frames * channels);
        for (float& sample : samples) sample = (wave = std::fmod(wave + 0.37f + data[at] / 256.0f, 2.0f)) - 1.0f;
        resampler->Push(samples);
        pushed += frames;
        break;
      }
      case 1:
        pull(count % 3000);
        break;
      case 3: {
        if (finished) break;
        const size_t want = count % 3000;
        const size_t frames = resampler->InputNeededFor(want);
        if (pushed + frames > maxInputFrames) break;
        resampler->AppendSilence(frames);
        resampler->DropLast(frames);
        if (resampler->InputNeededFor(want) != frames) Fail("taking frames back changed what is needed", in, out, channels, frames, want);
        const size_t pending = resampler->PendingFrames();
        float* region = resampler->AppendSilence(frames);
        for (size_t i = 0; i < (pending + frames) * channels; ++i) {
          region[i] += (wave = std::fmod(wave + 0.29f, 2.0f)) - 1.0f;
        }
        pushed += frames;
        const size_t got = pull(want);
        if (got != want) Fail("the input asked for gave another count", in, out, channels, got, want);
        break;
      }
      case 4:
        if (finished) break;
        resampler->Reset();
        pushed = pulled = 0;
        break;
      default:
        resampler->Finish();
        finished = true;
    }
  }
  resampler->Finish();
  while (pull(4096) > 0) {
  }
  const uint64_t expected = (pushed * out + in - 1) / in;
  if (pulled != expected) Fail("wrong length", in, out, channels, pulled, expected);
  return 0;
}
