// Plays sounds the instant they are asked for: one output stream, fed a period
// at a time from the voice that plays; a new voice cuts the one before off with
// a short fade. The stream stops a moment after the last sound and closes after
// a quiet spell; the next sound opens it again, as it does after a device failed.
//
// Threads: the engine thread owns the stream and the voices that play, and only
// mixes what is decoded; the feeder thread owns the decoders and keeps each
// voice's ring full; each attempt to open the device runs on a thread of its
// own, which the engine waits for no longer than a time-out.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/unique_handle.h"
#include "audio/decode/acm_mp3_decoder.h"
#include "audio/dsp/clip_gain.h"
#include "audio/device/device_opener.h"
#include "audio/device/output_device.h"
#include "audio/engine/voice.h"
#include "audio/engine/voice_feeder.h"

namespace kivora::audio {

class SoundEngine {
 public:
  // Returns at once. The engine's thread starts and the stream opens at
  // OpenStream, or at the first sound, whichever comes first.
  explicit SoundEngine(OutputDevice& device);
  // An engine that levels files by gains another engine keeps (a second device
  // plays the same files at the same loudness as the first).
  SoundEngine(OutputDevice& device, ClipGains& sharedGains);
  ~SoundEngine();
  SoundEngine(const SoundEngine&) = delete;
  SoundEngine& operator=(const SoundEngine&) = delete;

  // Has the engine's thread open the stream (and the MP3 codec) now, in the
  // background. The program asks once its window is up, so the system's audio
  // libraries load while nobody waits for them.
  void OpenStream();

  // The file at path, decoded up to its first samples and ready to start; nothing
  // when the engine cannot play it (missing, no MP3 or PCM WAVE it can decode, no
  // sound in it) or has no stream to play it on.
  std::shared_ptr<Voice> Prepare(const std::wstring& path);
  // Same, for a clip whose bytes live in memory as long as the voice.
  std::shared_ptr<Voice> Prepare(std::span<const uint8_t> clip);
  // Same, for a clip read from source.
  std::shared_ptr<Voice> Prepare(std::unique_ptr<ByteSource> source);

  // voice becomes the sound that plays; the one before fades out. Reopens the
  // stream first when it was closed.
  void Start(std::shared_ptr<Voice> voice);

  // A voice that was paused plays again: the engine starts its stream, stopped
  // while nothing sounded.
  void Resumed();

  // Closes the stream until the next Start, so another player can have the
  // device to itself (some devices take one stream at a time).
  void ReleaseDevice();

  // Whether the stream is open now, and how often it was opened.
  bool StreamOpen() const { return streamOpen_.load(); }
  int StreamOpenings() const { return streamOpenings_.load(); }
  unsigned OutputRate() const { return outputRate_.load(); }
  // Renders that found the device's buffer run dry while a voice sounded, and
  // renders that found a voice's decoding behind.
  uint64_t DeviceUnderruns() const { return deviceUnderruns_.load(); }
  uint64_t FeedStarvations() const { return feedStarvations_.load(); }
  // Clips whose decoder (and file) the engine still holds.
  size_t DecodersHeld() { return feeder_.FeedsHeld(); }

  // Gains by path that Prepare(path) applies to a file's samples.
  ClipGains& FileGains() { return gains_; }

 private:
  std::shared_ptr<Voice> PrepareDecoder(std::unique_ptr<PcmDecoder> decoder);
  void StartThread();
  void Run() noexcept;
  void RunLoop();
  // Takes the voices and requests handed over since the last turn.
  void TakeRequests(std::unique_ptr<OutputStream>& stream);
  // Fills the room the device has, or stops the stream once the last sound has
  // been heard; false when the device failed.
  bool Render(OutputStream& stream);
  // Hands the voices that have ended to the feeder, which frees them.
  void RetireEnded();
  // Closes the stream until a sound asks for it again.
  void CloseStream(std::unique_ptr<OutputStream>& stream);
  // Closes a failed stream and has one opened afresh for the voices playing.
  void ReopenForVoices(std::unique_ptr<OutputStream>& stream);
  // Takes the stream an attempt to open opened, or its failure.
  void Opened(std::unique_ptr<OutputStream> opened, std::unique_ptr<OutputStream>& stream);
  // Tells a sound waiting for the stream that the attempt is over.
  void AttemptEnded();

  AcmStreamPool decoders_;
  VoiceFeeder feeder_;
  ClipGains ownGains_;
  ClipGains& gains_;  // ownGains_, or another engine's
  kivora::KernelHandle wake_;
  std::condition_variable openTried_;  // with mutex_: an open of the stream was tried
  std::atomic<unsigned> outputRate_{0};
  std::atomic<bool> streamOpen_{false};
  std::atomic<int> streamOpenings_{0};
  std::atomic<uint64_t> deviceUnderruns_{0};
  std::atomic<uint64_t> feedStarvations_{0};

  std::mutex mutex_;  // guards the requests below
  std::vector<std::shared_ptr<Voice>> started_;
  bool wantStream_ = false;
  bool releaseStream_ = false;
  bool quit_ = false;
  int openAttempts_ = 0;          // opens of the stream tried so far, and failed or not
  bool defaultChanged_ = false;  // the system's default output device changed

  // The engine thread's own.
  DeviceOpener opener_;
  bool warmed_ = false;  // the codec streams the first click needs are open
  // Keeps the rate table of the common clips (44.1 kHz stereo) to the stream's rate
  // alive: tables go with their last user, and a click from silence would build it again.
  std::unique_ptr<Resampler> commonConverter_;
  std::vector<std::shared_ptr<Voice>> playing_;
  std::vector<std::shared_ptr<Voice>> retiring_;  // ended, on their way to the feeder to be freed
  std::vector<float> mix_;
  ULONGLONG quietSince_ = 0;  // when the last voice ended or was paused, or the stream opened; 0 while one sounds
  bool stopped_ = false;  // the stream is stopped and empty, waiting for a sound
  bool wroteSinceOpen_ = false;     // the stream took sound since it opened
  bool reopenedForVoices_ = false;  // the stream was opened afresh after a failure, and has written nothing yet

  std::once_flag threadStarted_;
  std::thread thread_;
};

}  // namespace kivora::audio
