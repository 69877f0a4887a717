#include "audio/file_loudness.h"

#include "audio/acm_mp3_decoder.h"
#include "audio/file_byte_source.h"
#include "audio/wav_decoder.h"

namespace kivora::audio {

std::optional<ClipLoudness> MeasureFile(const std::wstring& path) {
  auto source = FileByteSource::Open(path);
  if (!source) return std::nullopt;
  uint8_t magic[4] = {};
  const size_t got = ReadFully(*source, magic);
  if (!source->Seek(0)) return std::nullopt;
  // The codec streams are this measurement's own, so the engine's stay free for clicks.
  AcmStreamPool codecs;
  std::unique_ptr<PcmDecoder> decoder;
  if (got == 4 && std::equal(magic, magic + 4, "RIFF")) {
    decoder = WavDecoder::Open(std::move(source));
  } else {
    decoder = AcmMp3Decoder::Open(std::move(source), codecs);
  }
  if (!decoder) return std::nullopt;
  return MeasureDecoded(*decoder);
}

}  // namespace kivora::audio
