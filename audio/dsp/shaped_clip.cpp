#include "audio/dsp/shaped_clip.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace kivora::audio {
namespace {

// Where a clip ends is what its decoder can tell up front (TotalFrames): then
// every frame goes out as it is decoded, the tail cut where the trim says.
// Otherwise the end is only known once the decoder says so, and the frames that
// may turn out to lie in the trimmed tail or under the fade out are held back
// until more follow them. A turn of a loop that gives no frame at all ends it.
class ShapedDecoder final : public PcmDecoder {
 public:
  ShapedDecoder(std::unique_ptr<PcmDecoder> decoder, const ClipShape& shape, ClipReopener reopen)
      : decoder_(std::move(decoder)),
        shape_(shape),
        reopen_(std::move(reopen)),
        envelope_(0, 0, Envelope::kUnknownLength, shape.loop && reopen_) {}

  // Before the first frames, the decoder's own format.
  unsigned SampleRate() const override { return rate_ || !decoder_ ? rate_ : decoder_->SampleRate(); }
  unsigned Channels() const override { return channels_ || !decoder_ ? channels_ : decoder_->Channels(); }

  bool DecodeMore(std::vector<float>& samples) override {
    // Only a fade out or a trimmed tail needs the end; the first turn's decoder
    // tells it for every turn.
    if (!std::exchange(lengthAsked_, true) && decoder_ && (shape_.tailMs > 0 || shape_.fadeOutMs > 0)) {
      total_ = decoder_->TotalFrames();
    }
    while (!ended_) {
      if (pendingFormat_) {
        pendingFormat_ = false;
        SetFormat(pendingRate_, pendingChannels_);
        Append(pending_);
        pending_.clear();
        if (Emit(samples, Held() - HoldBack())) return true;
        continue;
      }
      if (decoder_ && decoder_->DecodeMore(scratch_)) {
        if (Take(samples)) return true;
        continue;
      }
      if (EndOfTurn(samples)) return true;
    }
    return false;
  }

 private:
  int64_t Held() const { return channels_ ? static_cast<int64_t>(held_.size() - heldAt_) / channels_ : 0; }
  int64_t HoldBack() const {
    if (total_) return 0;
    return FramesOfMilliseconds(shape_.tailMs, rate_) + (envelope_.Loops() ? 0 : FramesOfMilliseconds(shape_.fadeOutMs, rate_));
  }
  // Of a turn's frames after its head, those it plays.
  int64_t TurnLength() const {
    return TrimmedRange(static_cast<int64_t>(*total_), FramesOfMilliseconds(shape_.headMs, rate_),
                        FramesOfMilliseconds(shape_.tailMs, rate_))
        .Length();
  }

  // Takes what the decoder just gave; true when frames went out to samples.
  bool Take(std::vector<float>& samples) {
    const unsigned rate = decoder_->SampleRate();
    const unsigned channels = std::clamp(decoder_->Channels(), 1u, 2u);
    bool out = false;
    if (channels != channels_ || rate != rate_) {
      // A clip whose format changes part-way: what is held goes out in its own
      // format first, and the trim and fades count on in the new one.
      if (Held() > 0) out = Emit(samples, Held());
      if (out) {
        // One call hands on frames of one format: the new one's wait for the next.
        pendingFormat_ = true;
        pending_.swap(scratch_);
        pendingRate_ = rate;
        pendingChannels_ = channels;
        scratch_.clear();
        return true;
      }
      SetFormat(rate, channels);
    }
    Append(scratch_);
    scratch_.clear();
    const int64_t ready = Held() - HoldBack();
    return ready > 0 && Emit(samples, ready);
  }

  void SetFormat(unsigned rate, unsigned channels) {
    rate_ = rate;
    channels_ = channels;
    if (!configured_) {
      configured_ = true;
      // The length counts in the first format's frames: a change of format leaves it unknown.
      const int64_t length = total_ && !envelope_.Loops() ? TurnLength() : Envelope::kUnknownLength;
      envelope_ = Envelope(FramesOfMilliseconds(shape_.fadeInMs, rate), FramesOfMilliseconds(shape_.fadeOutMs, rate),
                           length, envelope_.Loops());
      skip_ = FramesOfMilliseconds(shape_.headMs, rate);
    } else {
      total_.reset();
    }
  }

  // Adds decoded frames behind those held, less what the trim skips at a turn's start.
  void Append(const std::vector<float>& frames) {
    size_t from = 0;
    const size_t count = frames.size() / channels_;
    if (skip_ > 0) {
      const size_t skipped = static_cast<size_t>(std::min<int64_t>(skip_, static_cast<int64_t>(count)));
      skip_ -= static_cast<int64_t>(skipped);
      from = skipped;
    }
    if (heldAt_ > 0 && heldAt_ * 2 > held_.size()) {
      held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(heldAt_));
      heldAt_ = 0;
    }
    size_t to = count;
    // With the end known, what lies in the trimmed tail is dropped as it comes.
    if (total_) to = from + static_cast<size_t>(std::clamp<int64_t>(TurnLength() - turnFrames_, 0, static_cast<int64_t>(count - from)));
    held_.insert(held_.end(), frames.begin() + static_cast<std::ptrdiff_t>(from * channels_),
                 frames.begin() + static_cast<std::ptrdiff_t>(to * channels_));
    turnFrames_ += static_cast<int64_t>(to - from);
  }

  // Hands the first frames held on, shaped; true when there were any.
  bool Emit(std::vector<float>& samples, int64_t frames) {
    frames = std::min(frames, Held());
    if (frames <= 0) return false;
    const size_t at = samples.size();
    const auto first = held_.begin() + static_cast<std::ptrdiff_t>(heldAt_);
    samples.insert(samples.end(), first, first + static_cast<std::ptrdiff_t>(frames * channels_));
    float* shaped = samples.data() + at;
    if (shape_.gain != 1.0f) {
      for (size_t i = 0; i < static_cast<size_t>(frames) * channels_; ++i) shaped[i] *= shape_.gain;
    }
    envelope_.Apply(shaped, static_cast<size_t>(frames), channels_, played_);
    played_ += frames;
    heldAt_ += static_cast<size_t>(frames) * channels_;
    if (heldAt_ == held_.size()) {
      held_.clear();
      heldAt_ = 0;
    }
    return true;
  }

  // The decoder has ended: the tail is dropped, and what is left goes out, under
  // the fade out when the clip ends here; a loop opens the clip again. True when
  // frames went out to samples.
  bool EndOfTurn(std::vector<float>& samples) {
    const int64_t tail = total_ ? 0 : std::min(FramesOfMilliseconds(shape_.tailMs, rate_), Held());
    held_.resize(held_.size() - static_cast<size_t>(tail) * channels_);
    turnFrames_ -= tail;
    const bool again = envelope_.Loops() && turnFrames_ > 0;
    if (!again) envelope_.SetLength(played_ + Held());
    const bool out = Emit(samples, Held());
    held_.clear();
    heldAt_ = 0;
    if (again) {
      // The old decoder goes first: a codec stream it gives back serves the new one.
      decoder_.reset();
      decoder_ = reopen_();
    }
    if (!again || !decoder_) ended_ = true;
    skip_ = FramesOfMilliseconds(shape_.headMs, rate_);
    turnFrames_ = 0;
    return out;
  }

  std::unique_ptr<PcmDecoder> decoder_;
  const ClipShape shape_;
  ClipReopener reopen_;
  Envelope envelope_;
  bool configured_ = false;
  bool lengthAsked_ = false;
  std::optional<uint64_t> total_;  // the frames each turn's decoder gives, when it told
  unsigned rate_ = 0, channels_ = 0;  // the format of the frames held and handed on
  std::vector<float> scratch_;        // what the decoder gave last
  std::vector<float> held_;           // frames not yet handed on, from heldAt_ (in samples)
  size_t heldAt_ = 0;
  int64_t skip_ = 0;        // frames still to skip at this turn's start
  int64_t turnFrames_ = 0;  // frames this turn kept after its head
  int64_t played_ = 0;      // frames handed on, every turn counted
  bool ended_ = false;
  // The first frames of a new format, waiting while the old format's go out.
  bool pendingFormat_ = false;
  std::vector<float> pending_;
  unsigned pendingRate_ = 0, pendingChannels_ = 0;
};

}  // namespace

std::unique_ptr<PcmDecoder> WithShape(std::unique_ptr<PcmDecoder> decoder, const ClipShape& shape,
                                      ClipReopener reopen) {
  if (!decoder || shape.IsPlain()) return decoder;
  return std::make_unique<ShapedDecoder>(std::move(decoder), shape, std::move(reopen));
}

}  // namespace kivora::audio
