// A WAVE file of arbitrary bytes: the chunk walk, the header, the decoders and
// the damaged-file verdict read nothing outside the bytes, and they agree. A
// file the header takes is never judged damaged. One the program decodes
// itself gives exactly the whole frames that the data chunk holds within the
// file, as many as it tells up front, one or two channels (more are folded into stereo), its samples finite,
// within -1..1 for integer and G.711 samples of one or two channels, and within
// the float limit for float samples. A block-coded one (ADPCM, GSM, left to
// the system's codec) comes in whole blocks, the fact chunk's count cutting no
// more than the last, with a codec format whose size field is true to it. Read
// as from disk, the header and the verdict are the same.
// Run by hand for longer: scripts/run-fuzzer.sh build/native/wav_file_fuzzer tests/native/corpus/wav_file 600
#include <algorithm>
#include <cmath>
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
#include "audio/decode/wave_blocks.h"
#include "file_like_source.h"

namespace {

using namespace kivora::audio;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "wav file: %s\n", what);
  std::abort();
}

uint64_t InFile(const WavLayout& layout, size_t size) { return std::min<uint64_t>(layout.dataBytes, size - layout.dataOffset); }

void CheckDecoded(std::span<const uint8_t> bytes, const WavLayout& layout) {
  auto decoder = WavDecoder::Open(std::make_unique<MemoryByteSource>(bytes));
  if (!decoder) Fail("the decoder refuses a header it shares");
  const unsigned channels = std::min(layout.channels, 2u);
  if (decoder->Channels() != channels || decoder->SampleRate() != layout.sampleRate) Fail("format changed");
  const bool withinFullScale = layout.encoding != WavEncoding::Float && layout.channels <= 2;
  const uint64_t wholeFrames = InFile(layout, bytes.size()) / layout.blockAlign;
  if (decoder->TotalFrames() != wholeFrames) Fail("the length told is not the whole frames in the file");
  uint64_t frames = 0;
  std::vector<float> samples;
  while (decoder->DecodeMore(samples)) {
    if (samples.empty() || samples.size() % channels != 0) Fail("a block of broken frames");
    for (const float sample : samples) {
      if (!std::isfinite(sample)) Fail("a sample that is not finite");
      if (withinFullScale && !(sample >= -1.0f && sample <= 1.0f)) Fail("an integer sample outside -1..1");
      if (std::fabs(sample) > WavDecoder::kFloatLimit * 8) Fail("a sample past any sum of folded channels");
    }
    frames += samples.size() / channels;
    if (frames > wholeFrames) Fail("more frames than the data chunk holds");
    samples.clear();
  }
  if (frames != wholeFrames) Fail("the decoder stopped before the end of the data");
}

void CheckBlocks(std::span<const uint8_t> bytes, const WavLayout& layout) {
  if (WavDecoder::Open(std::make_unique<MemoryByteSource>(bytes))) Fail("the sample decoder takes a block-coded file");
  if (layout.channels > 2 || layout.blockAlign == 0 || layout.framesPerBlock == 0) Fail("a block layout no codec has");
  if (layout.format.size() < 20 || layout.format.size() != 18u + (layout.format[16] | (layout.format[17] << 8))) {
    Fail("the codec's format and its size field disagree");
  }
  MemoryByteSource source(bytes);
  if (!source.Seek(layout.dataOffset)) Fail("the data starts past the end");
  WaveBlocks blocks(source, layout);
  const uint64_t wholeBlocks = InFile(layout, bytes.size()) / layout.blockAlign;
  uint64_t count = 0;
  uint64_t kept = 0;
  std::vector<uint8_t> read;
  while (const size_t got = blocks.Next(read, 5)) {
    if (read.size() != got * layout.blockAlign) Fail("blocks that are not whole");
    count += got;
    kept += blocks.Keep(got * layout.framesPerBlock);
  }
  if (count != wholeBlocks) Fail("not every whole block came");
  const uint64_t all = count * layout.framesPerBlock;
  if (kept > all || (layout.soundFrames ? kept != std::min(all, *layout.soundFrames) : kept != all)) {
    Fail("the fact count cut the wrong frames");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const auto layout = ParseWavHeader(bytes);
  const bool damaged = KnownDamaged(bytes);
  FileLikeSource file(bytes);
  const auto fromFile = ParseWavHeader(file);
  if (fromFile.has_value() != layout.has_value() ||
      (layout && (fromFile->dataOffset != layout->dataOffset || fromFile->dataBytes != layout->dataBytes ||
                  fromFile->encoding != layout->encoding || fromFile->soundFrames != layout->soundFrames ||
                  fromFile->format != layout->format))) {
    Fail("the header read as from disk differs");
  }
  if (KnownDamaged(file) != damaged) Fail("the verdict read as from disk differs");
  if (!layout) {
    if (WavDecoder::Open(std::make_unique<MemoryByteSource>(bytes))) Fail("the decoder takes what the header refuses");
    return 0;
  }
  if (damaged) Fail("a file the header takes is judged damaged");
  if (layout->dataOffset > size) Fail("the data starts past the end");
  if (BlockCoded(layout->encoding)) {
    CheckBlocks(bytes, *layout);
  } else {
    CheckDecoded(bytes, *layout);
  }
  return 0;
}
