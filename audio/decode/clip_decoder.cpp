#include "audio/decode/clip_decoder.h"

#include <algorithm>

#include "audio/decode/wav_decoder.h"

namespace kivora::audio {

std::unique_ptr<PcmDecoder> OpenClipDecoder(std::unique_ptr<ByteSource> source, AcmStreamPool& codecs) {
  uint8_t magic[4] = {};
  const size_t got = ReadFully(*source, magic);
  if (!source->Seek(0)) return nullptr;
  if (got == 4 && std::equal(magic, magic + 4, "RIFF")) return WavDecoder::Open(std::move(source));
  return AcmMp3Decoder::Open(std::move(source), codecs);
}

}  // namespace kivora::audio
