// One output of the engine: a device, its stream, and the voices that play on
// it, each reading the engine's decoded blocks with a cursor of its own. Every
// output runs on a device thread of its own, at its device's clock and rate, so
// no output ever waits for another. What each output does about quiet, the
// default device and a missing device is its policy (sink_policy.h).
//
// Threads: the output's device thread owns the stream, the opener and the voices
// that play, and only mixes what is decoded; the thread that controls sounds (the
// window's) hands voices and requests over under mutex_; each open runs on a
// thread of its own (device_opener.h); device notifications arrive on a system thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/device/device_opener.h"
#include "audio/device/device_watch.h"
#include "audio/device/output_device.h"
#include "audio/dsp/safety_limiter.h"
#include "audio/engine/converter_tables.h"
#include "audio/engine/output_source.h"
#include "audio/engine/sink_policy.h"
#include "audio/engine/voice.h"
#include "audio/engine/voice_feeder.h"
#include "audio/engine/voice_mixer.h"
#include "base/unique_handle.h"

namespace kivora::audio {

// What an output tells about its device, on its device thread.
enum class SinkPresence { Present, Missing, StandsDown };

struct SinkSetup {
  SinkPolicy policy;
  std::shared_ptr<OutputDevice> device;
  std::wstring endpointId;  // the device's ID when it is fixed; empty: the default device
  size_t reader;            // the reader of every decoded ring this output uses
  // Hears each change of presence: the device missing (at the first try, or
  // lost), there again, standing down. Called on the output's device thread.
  std::function<void(SinkPresence)> presenceChanged = {};
  // Runs on the opening thread after each stream opened, with its rate: what a
  // sound on this output will need is made then, off every click's path.
  std::function<void(unsigned)> opened = {};
};

class OutputSink {
 public:
  OutputSink(SinkSetup setup, VoiceFeeder& feeder, std::shared_ptr<ConverterTables> tables);
  // Waits for the device thread, never for an open under way.
  ~OutputSink();
  OutputSink(const OutputSink&) = delete;
  OutputSink& operator=(const OutputSink&) = delete;

  const SinkPolicy& Policy() const { return setup_.policy; }
  size_t Reader() const { return setup_.reader; }
  const std::wstring& EndpointId() const { return setup_.endpointId; }

  // Has the device thread open the stream now, in the background.
  void OpenStream();
  // Opens the stream when it is closed and waits for that attempt, at most
  // timeout; true when the stream is open.
  bool AwaitStream(std::chrono::milliseconds timeout);
  // voice plays from now on; when it cuts the others off, every voice before it fades out.
  void Start(std::shared_ptr<Voice> voice);
  // A voice that was paused plays again: the stream, stopped while nothing sounded, starts.
  void Resumed();
  // Closes the stream until the next Start, so another player can have the device.
  void ReleaseDevice();
  // A device event from the system (or a test's scripted notifier).
  void Notify(const DeviceEvent& event);
  // A source mixed into every block beside the voices (the microphone, on the
  // broadcast output); nullptr: none. While one is set the stream runs, sound or
  // not, and it is told each block whether a sound plays.
  void SetSource(std::shared_ptr<OutputSource> source);
  // Scales everything this output plays (0..1 and above); 1 unless set.
  void SetGain(float gain) { gain_.store(gain); }

  bool StreamOpen() const { return streamOpenNow_.load(); }
  int StreamOpenings() const { return streamOpenings_.load(); }
  unsigned OutputRate() const { return outputRate_.load(); }
  uint64_t DeviceUnderruns() const { return deviceUnderruns_.load(); }
  uint64_t FeedStarvations() const { return feedStarvations_.load(); }

 private:
  void StartThread();
  void Run() noexcept;
  void RunLoop();
  void TakeRequests();
  bool Sounding() const;
  // Fills the room the device has, or stops the stream once the last sound has
  // been heard; false when the device failed.
  bool Render();
  void RetireEnded();
  // The default device changed: a sound that plays moves to the new one.
  void Move();
  void Opened(DeviceOpener::Outcome outcome);
  // Readies stream to be played on: stopped and empty until a sound comes.
  bool Adopt(std::unique_ptr<OutputStream>& stream);
  void StreamLost();
  void CloseStream();
  void SetStreamOpen(bool open);
  void AttemptEnded();
  void Tell(SinkPresence presence);
  DWORD WaitTimeout(ULONGLONG now) const;

  const SinkSetup setup_;
  VoiceFeeder& feeder_;
  std::shared_ptr<ConverterTables> tables_;
  kivora::KernelHandle wake_;
  std::atomic<float> gain_{1.0f};
  std::atomic<bool> streamOpenNow_{false};
  std::atomic<int> streamOpenings_{0};
  std::atomic<unsigned> outputRate_{0};
  std::atomic<uint64_t> deviceUnderruns_{0};
  std::atomic<uint64_t> feedStarvations_{0};

  std::mutex mutex_;  // guards the requests below
  std::condition_variable openTried_;  // with mutex_: an open of the stream was tried
  std::vector<std::shared_ptr<Voice>> started_;
  bool streamOpen_ = false;  // the stream is open; set with openAttempts_ so a waiting click cannot miss it
  int openAttempts_ = 0;
  bool wantStream_ = false;
  bool releaseStream_ = false;
  bool quit_ = false;
  bool defaultChanged_ = false;  // the system's default output device changed
  bool retryNow_ = false;        // the device may be back: try it without waiting out the back-off
  bool deviceLost_ = false;      // the device was removed or disabled
  std::shared_ptr<OutputSource> sourceRequest_;
  bool sourceChanged_ = false;

  // The device thread's own.
  DeviceOpener opener_;
  std::unique_ptr<OutputStream> stream_;
  std::unique_ptr<OutputStream> next_;      // opened on the new default device, taken once the fade out ends
  std::unique_ptr<OutputStream> draining_;  // the old device's stream, playing out its fade before it closes
  ULONGLONG drainingSince_ = 0;
  bool moving_ = false;     // an open on the new default device is under way
  unsigned fadeFrames_ = 1;  // a move's fade, in frames of the stream's rate
  unsigned fadeLevel_ = 1;   // the move's fade: fadeFrames_ while sounding, 0 when faded out
  std::vector<std::shared_ptr<Voice>> playing_;
  std::shared_ptr<OutputSource> source_;
  std::vector<std::shared_ptr<Voice>> retiring_;  // ended, on their way to the feeder to be freed
  std::vector<float> mix_;
  VoiceMixer mixer_;
  SafetyLimiter limiter_{48000};
  ULONGLONG quietSince_ = 0;  // when the last voice ended or was paused, or the stream opened; 0 while one sounds
  ULONGLONG nextTryAt_ = 0;   // when a missing device is tried again
  bool stopped_ = false;      // the stream is stopped and empty, waiting for a sound
  bool wroteSinceOpen_ = false;
  bool reopenedForVoices_ = false;
  SinkPresence told_ = SinkPresence::Present;  // what presenceChanged last heard
  bool toldAny_ = false;

  std::once_flag threadStarted_;
  std::thread thread_;
};

}  // namespace kivora::audio
