#include "audio/dsp/file_loudness.h"

#include "audio/decode/clip_decoder.h"
#include "audio/decode/file_byte_source.h"

namespace kivora::audio {

std::optional<ClipLoudness> MeasureFile(const std::wstring& path, const std::atomic<bool>* stop) {
  auto source = FileByteSource::Open(path);
  if (!source) return std::nullopt;
  // The codec streams are this measurement's own, so the engine's stay free for clicks.
  AcmStreamPool codecs;
  const std::unique_ptr<PcmDecoder> decoder = OpenClipDecoder(std::move(source), codecs);
  if (!decoder) return std::nullopt;
  return MeasureDecoded(*decoder, stop);
}

}  // namespace kivora::audio
