#include "audio/decode/clip_decoder.h"

#include <algorithm>

#include "audio/decode/acm_wave_decoder.h"
#include "audio/decode/wav_decoder.h"

namespace kivora::audio {

std::unique_ptr<PcmDecoder> OpenClipDecoder(std::unique_ptr<ByteSource> source, AcmStreamPool& codecs) {
  uint8_t magic[4] = {};
  const size_t got = ReadFully(*source, magic);
  if (!source->Seek(0)) return nullptr;
  if (got != 4 || !std::equal(magic, magic + 4, "RIFF")) return AcmMp3Decoder::Open(std::move(source), codecs);
  const auto layout = ParseWavHeader(*source);
  if (!layout) return nullptr;
  if (BlockCoded(layout->encoding)) return AcmWaveDecoder::Open(std::move(source), *layout);
  return WavDecoder::Open(std::move(source), *layout);
}

}  // namespace kivora::audio
