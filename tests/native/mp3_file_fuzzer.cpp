// An MP3 file of arbitrary bytes, read as the engine reads it: frame headers,
// ID3v2 tags, the search for confirmed Layer III audio, the frame reader, the
// info frame with its LAME tag, and the gapless trim of the decoded output.
// Nothing reads outside the bytes; every frame the reader gives is a whole
// Layer III frame, and together they are no longer than the file; and the trim
// keeps decoded samples in order, each once, channels together. Read as from
// disk, the reader gives the same frames. The length read from the frames'
// headers alone is what the trim keeps of a file of one format, and nothing for
// a file of two; read as from disk it is the same.
// The decoder's output is simulated: each output frame's samples are its
// position and its negative, taken in pieces that lag the frames fed.
// Run by hand for longer: scripts/run-fuzzer.sh build/native/mp3_file_fuzzer tests/native/corpus/mp3_file 600
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "audio/decode/gapless_trimmer.h"
#include "audio/decode/mp3_frame.h"
#include "audio/decode/mp3_frame_reader.h"
#include "audio/decode/mp3_length.h"
#include "file_like_source.h"

namespace {

using namespace kivora::audio;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "mp3 file: %s\n", what);
  std::abort();
}

// One run of frames of the same format through one trimmer, as one codec stream.
class TrimmedStream {
 public:
  TrimmedStream(const Mp3FrameHeader& format, size_t piece)
      : format_(format), piece_(piece), trimmer_(format.samplesPerFrame, format.channels) {}

  void Info(const XingInfo& info) { trimmer_.BeginSegment(info); }
  void Audio() {
    trimmer_.FrameFed();
    fed_ += format_.samplesPerFrame;
    while (fed_ - taken_ >= piece_) Take(piece_);
  }
  uint64_t KeptFrames() const { return kept_.size() / format_.channels; }
  // The codec's last output, then the trim's end: checks what was kept.
  void End() {
    Take(fed_ - taken_);
    trimmer_.Finish(kept_);
    const unsigned channels = format_.channels;
    if (kept_.size() % channels != 0) Fail("a kept frame lost a channel");
    std::optional<float> last;
    for (size_t i = 0; i < kept_.size(); i += channels) {
      const float at = kept_[i];
      if (channels == 2 && kept_[i + 1] != -at) Fail("the channels of a kept frame come from two frames");
      if (at < 0 || at >= static_cast<float>(fed_)) Fail("a kept frame the decoder never gave");
      if (last && at <= *last) Fail("kept frames out of order or twice");
      last = at;
    }
  }

 private:
  void Take(uint64_t frames) {
    std::vector<float> decoded;
    for (uint64_t i = taken_; i < taken_ + frames; ++i) {
      decoded.push_back(static_cast<float>(i));
      if (format_.channels == 2) decoded.push_back(-static_cast<float>(i));
    }
    taken_ += frames;
    trimmer_.Take(decoded, kept_);
  }

  Mp3FrameHeader format_;
  size_t piece_;
  GaplessTrimmer trimmer_;
  uint64_t fed_ = 0;
  uint64_t taken_ = 0;
  std::vector<float> kept_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  ParseMp3FrameHeader(bytes);
  const uint64_t tag = Id3v2TagLength(bytes);
  if (tag != 0 && tag < 10) Fail("a tag shorter than its header");
  if (const auto found = FindLayer3Audio(bytes, 0, size)) {
    const auto header = ParseMp3FrameHeader(bytes.subspan(*found));
    if (!header || header->layer != 3) Fail("the audio found starts with no Layer III frame");
  }

  MemoryByteSource source(bytes);
  Mp3FrameReader reader(source);
  FileLikeSource file(bytes);
  Mp3FrameReader fromFile(file);
  // Pieces of output from a few frames to one and a bit, chosen by the file's length.
  const size_t piece = 1 + size % 1500;
  std::optional<TrimmedStream> stream;
  std::optional<Mp3FrameHeader> format;
  uint64_t frameBytes = 0;
  int formats = 0;
  while (const auto frame = reader.Next()) {
    const auto same = fromFile.Next();
    if (!same || !std::equal(same->bytes.begin(), same->bytes.end(), frame->bytes.begin(), frame->bytes.end())) {
      Fail("the frames read as from disk differ");
    }
    const Mp3FrameHeader& header = frame->header;
    if (header.layer != 3 || frame->bytes.size() != header.frameBytes) Fail("a frame that is not whole");
    const auto again = ParseMp3FrameHeader(frame->bytes);
    if (!again || again->frameBytes != header.frameBytes) Fail("a frame that does not start with its header");
    frameBytes += header.frameBytes;
    if (frameBytes > size) Fail("more frame bytes than the file holds");
    if (!format || !SameFormat(*format, header)) {
      ++formats;
      if (stream) stream->End();
      stream.emplace(header, piece);
      format = header;
    }
    if (frame->info) {
      const GaplessTrim trim = TrimFor(frame->info, header.samplesPerFrame);
      if (trim.leadingSkip > 4095 + kLayer3DecoderDelay) Fail("a delay the 12-bit field cannot hold");
      stream->Info(*frame->info);
    } else {
      stream->Audio();
    }
  }
  if (fromFile.Next()) Fail("more frames read as from disk");
  if (stream) stream->End();

  MemoryByteSource again(bytes);
  FileLikeSource fileAgain(bytes);
  const auto scanned = Mp3DecodedFramesByScan(again);
  if (scanned != Mp3DecodedFramesByScan(fileAgain)) Fail("the length read as from disk differs");
  if (formats == 1 ? scanned != stream->KeptFrames() : scanned.has_value()) Fail("the length is not what the trim keeps");
  Mp3DecodedFrames(again);
  return 0;
}
