// A WAVE file of arbitrary bytes: the chunk walk, the header, the decoder and
// the damaged-file verdict read nothing outside the bytes, and they agree. A
// file the decoder plays is never judged damaged, its samples stay in -1..1,
// and it gives exactly the whole frames that the data chunk holds within the
// file. Read as from disk, the header and the verdict are the same.
// Run by hand for longer: scripts/run-fuzzer.sh build/native/wav_file_fuzzer tests/native/corpus/wav_file 600
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "audio/decode/clip_verdict.h"
#include "audio/decode/wav_decoder.h"
#include "audio/decode/wav_header.h"
#include "file_like_source.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "wav file: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kivora::audio;
  const std::span<const uint8_t> bytes(data, size);
  const auto layout = ParseWavHeader(bytes);
  const bool damaged = KnownDamaged(bytes);
  FileLikeSource file(bytes);
  const auto fromFile = ParseWavHeader(file);
  if (fromFile.has_value() != layout.has_value() ||
      (layout && (fromFile->dataOffset != layout->dataOffset || fromFile->dataBytes != layout->dataBytes))) {
    Fail("the header read as from disk differs");
  }
  if (KnownDamaged(file) != damaged) Fail("the verdict read as from disk differs");
  auto decoder = WavDecoder::Open(std::make_unique<MemoryByteSource>(bytes));
  if (static_cast<bool>(decoder) != layout.has_value()) Fail("the decoder and the header disagree");
  if (!layout) return 0;
  if (damaged) Fail("a file the decoder plays is judged damaged");
  if (layout->dataOffset > size) Fail("the data starts past the end");
  if (decoder->Channels() != layout->channels || decoder->SampleRate() != layout->sampleRate) Fail("format changed");
  const uint64_t frameBytes = layout->channels * layout->bitsPerSample / 8;
  const uint64_t wholeFrames = std::min<uint64_t>(layout->dataBytes, size - layout->dataOffset) / frameBytes;
  uint64_t frames = 0;
  std::vector<float> samples;
  while (decoder->DecodeMore(samples)) {
    if (samples.empty() || samples.size() % layout->channels != 0) Fail("a block of broken frames");
    for (const float sample : samples) {
      if (!(sample >= -1.0f && sample <= 1.0f)) Fail("a sample outside -1..1");
    }
    frames += samples.size() / layout->channels;
    if (frames > wholeFrames) Fail("more frames than the data chunk holds");
    samples.clear();
  }
  if (frames != wholeFrames) Fail("the decoder stopped before the end of the data");
  return 0;
}
