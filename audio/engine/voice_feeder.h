// The engine's feeder thread: keeps the ring of every voice that plays full,
// reading files and running codecs so that the thread writing to the device
// never has to. It owns the decoders of the voices handed to it, and lets each
// go (with its file) as soon as its voice has ended; it also frees the voices
// that the device thread has done with.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/engine/voice.h"
#include "audio/engine/voice_feed.h"

namespace kivora::audio {

class VoiceFeeder {
 public:
  VoiceFeeder();
  ~VoiceFeeder();
  VoiceFeeder(const VoiceFeeder&) = delete;
  VoiceFeeder& operator=(const VoiceFeeder&) = delete;

  // Starts the feeder's thread now rather than at the first feed, so the first
  // click does not pay for a thread's start.
  void Start();
  // From now on the feeder fills feed, until it is drained or abandoned.
  void Add(std::shared_ptr<VoiceFeed> feed);
  // Feeds the feeder still holds (their decoders not yet let go).
  size_t FeedsHeld();
  // Takes the voices, which have ended, to free them on the feeder's thread: the
  // thread that writes to the device frees no memory. Takes none, and returns
  // false, when the feeder holds its lock just then or has no room; then ask again later.
  bool TryRetire(std::vector<std::shared_ptr<Voice>>& voices);

 private:
  void Run() noexcept;

  std::mutex mutex_;  // guards the three below
  std::condition_variable wake_;
  std::vector<std::shared_ptr<VoiceFeed>> added_;
  std::vector<std::shared_ptr<Voice>> retired_;  // room kept, so retiring never allocates
  bool quit_ = false;
  bool failed_ = false;  // the thread ended on an error: feeds are no longer filled
  size_t held_ = 0;

  std::vector<std::shared_ptr<VoiceFeed>> feeds_;  // the feeder thread's own
  std::vector<std::shared_ptr<Voice>> freeing_;    // the feeder thread's own; swapped with retired_
  std::once_flag threadStarted_;
  std::thread thread_;  // from the first feed added
};

}  // namespace kivora::audio
