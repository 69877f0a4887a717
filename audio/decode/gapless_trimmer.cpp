#include "audio/decode/gapless_trimmer.h"

#include <algorithm>

namespace kivora::audio {

GaplessTrimmer::GaplessTrimmer(unsigned samplesPerFrame, unsigned channels)
    : samplesPerFrame_(samplesPerFrame), channels_(channels), segments_(1) {}

void GaplessTrimmer::BeginSegment(const XingInfo& info) {
  const GaplessTrim trim = TrimFor(info, samplesPerFrame_);
  const Segment segment{fedFrames_ * samplesPerFrame_, trim.leadingSkip, trim.playable, info.audioFrames, 0};
  if (segments_.back().fedFrames == 0) {
    segments_.back() = segment;
  } else {
    segments_.push_back(segment);
  }
}

void GaplessTrimmer::FrameFed() {
  ++fedFrames_;
  Segment& fed = segments_.back();
  ++fed.fedFrames;
  if (fed.countedFrames && fed.fedFrames > *fed.countedFrames) fed.playable.reset();
}

void GaplessTrimmer::Take(std::span<const float> decoded, std::vector<float>& kept) {
  // Held samples of a segment that has since outlasted its count are the clip
  // after all, and come first.
  if (!segments_.front().playable && !held_.empty()) Settle(kept);
  const size_t frames = decoded.size() / channels_;
  // A run at a time of frames that go the same way: skipped, kept or held.
  for (size_t i = 0; i < frames;) {
    while (segments_.size() > 1 && position_ >= segments_[1].start) {
      Settle(kept);
      segments_.pop_front();
    }
    const Segment& segment = segments_.front();
    uint64_t run = frames - i;
    if (segments_.size() > 1) run = std::min(run, segments_[1].start - position_);
    const uint64_t offset = position_ - segment.start;
    std::vector<float>* to = nullptr;
    if (offset < segment.leadingSkip) {
      run = std::min(run, segment.leadingSkip - offset);
    } else if (const uint64_t into = offset - segment.leadingSkip; segment.playable && into >= *segment.playable) {
      to = &held_;
    } else {
      if (segment.playable) run = std::min(run, *segment.playable - into);
      to = &kept;
    }
    if (to) {
      const auto samples = decoded.subspan(i * channels_, static_cast<size_t>(run) * channels_);
      to->insert(to->end(), samples.begin(), samples.end());
    }
    i += static_cast<size_t>(run);
    position_ += run;
  }
}

void GaplessTrimmer::Finish(std::vector<float>& kept) { Settle(kept); }

void GaplessTrimmer::Settle(std::vector<float>& kept) {
  // A segment that ends at its count, or short of it, loses what lies past the
  // count: the encoder's padding.
  if (!segments_.front().playable) kept.insert(kept.end(), held_.begin(), held_.end());
  held_.clear();
}

}  // namespace kivora::audio
