#include "audio/engine/sound_engine.h"

#include <objbase.h>

#include <algorithm>
#include <chrono>

#include "audio/device/audio_thread_role.h"
#include "audio/decode/clip_decoder.h"
#include "audio/device/default_device_watch.h"
#include "audio/decode/file_byte_source.h"

namespace kivora::audio {
namespace {

// Until the stream reports its own, clips are prepared for the usual shared-mode rate.
constexpr unsigned kAssumedOutputRate = 48000;
// An open of the device that takes longer has hung: sounds go to the fallback
// meanwhile, at once, and the stream is taken if the open ever returns.
constexpr ULONGLONG kOpenTimeoutMs = 2000;
// A sound that finds the stream closed waits for the attempt to open it, which
// the time-out ends.
constexpr auto kOpenWait = std::chrono::milliseconds(kOpenTimeoutMs + 500);
// Blocks decoded before the click returns: about 90 ms of a 44.1 kHz clip, time
// enough for the feeder to take over on a busy machine (with 45 ms, one start in
// thirty found its decoding behind under a load of five).
constexpr size_t kPrimeBlocks = 4;
// Most MP3 files, the built-in clips among them, are 44.1 kHz stereo: codec
// streams for them are opened before the first click.
constexpr Mp3FrameHeader kCommonMp3{.mpegVersion = 1, .layer = 3, .bitrateKbps = 128, .sampleRate = 44100,
                                    .channels = 2, .samplesPerFrame = 1152, .frameBytes = 417, .sideInfoBytes = 32};
constexpr int kWarmDecoders = 2;
// Voices playing or fading out at once, and ended voices not yet handed on, that
// fit without allocating: one sounds, and a few fade under quick clicks.
constexpr size_t kVoiceRoom = 32;
// Silence after the last sound before the stream stops: longer than the
// device's buffer, so the end of the sound is never cut.
constexpr ULONGLONG kIdleStopMs = 250;
// Quiet after which the stopped stream is closed: some systems keep a stopped
// stream's timer running (Wine's ALSA driver writes a period of silence every
// 10 ms), and reopening once the audio libraries are loaded costs about 2 ms.
// Sounds in quick succession keep the stream.
constexpr ULONGLONG kQuietCloseMs = 3000;

}  // namespace

SoundEngine::SoundEngine(OutputDevice& device) : SoundEngine(device, ownGains_) {}

SoundEngine::SoundEngine(OutputDevice& device, ClipGains& sharedGains)
    : gains_(sharedGains),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      opener_(device) {}

SoundEngine::~SoundEngine() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  SetEvent(wake_.Get());
  if (thread_.joinable()) thread_.join();
}

// A thread starting up (each loaded library's thread attach, COM) and opening the
// device competes with the program making its window: the engine's thread starts
// only when a stream is first wanted.
void SoundEngine::StartThread() {
  std::call_once(threadStarted_, [this] { thread_ = std::thread([this] { Run(); }); });
}

std::shared_ptr<Voice> SoundEngine::Prepare(const std::wstring& path) {
  auto source = FileByteSource::Open(path);
  if (!source) return nullptr;
  return PrepareDecoder(WithGain(OpenClipDecoder(std::move(source), decoders_), gains_.For(path)));
}

std::shared_ptr<Voice> SoundEngine::Prepare(std::span<const uint8_t> clip) {
  return Prepare(std::make_unique<MemoryByteSource>(clip));
}

std::shared_ptr<Voice> SoundEngine::Prepare(std::unique_ptr<ByteSource> source) {
  return PrepareDecoder(OpenClipDecoder(std::move(source), decoders_));
}

void SoundEngine::OpenStream() {
  {
    std::lock_guard lock(mutex_);
    wantStream_ = true;
  }
  SetEvent(wake_.Get());
  StartThread();
}

std::shared_ptr<Voice> SoundEngine::PrepareDecoder(std::unique_ptr<PcmDecoder> decoder) {
  if (!decoder) return nullptr;
  // A sound before the stream was asked for, or after it closed: ask now, and wait
  // for that open. No stream (no device, one that refuses every format, or one
  // that hangs) means this engine cannot play the sound: the caller's fallback
  // plays it instead.
  if (!streamOpen_.load()) {
    std::unique_lock lock(mutex_);
    const int tried = openAttempts_;
    wantStream_ = true;
    SetEvent(wake_.Get());
    StartThread();
    openTried_.wait_for(lock, kOpenWait, [&] { return openAttempts_ != tried || quit_; });
    if (!streamOpen_.load()) return nullptr;
  }
  auto feed = std::make_shared<VoiceFeed>(std::move(decoder));
  feed->Fill(kPrimeBlocks);
  // The rate is the open stream's, checked again on the engine thread when the voice plays.
  const unsigned rate = outputRate_.load();
  std::shared_ptr<Voice> voice = Voice::Create(feed, rate ? rate : kAssumedOutputRate);
  // A file that yields no sound at all is no clip this engine plays.
  if (!voice) return nullptr;
  feeder_.Add(std::move(feed));
  return voice;
}

void SoundEngine::Start(std::shared_ptr<Voice> voice) {
  {
    std::lock_guard lock(mutex_);
    started_.push_back(std::move(voice));
    wantStream_ = true;
    releaseStream_ = false;
  }
  SetEvent(wake_.Get());
  StartThread();
}

void SoundEngine::Resumed() { SetEvent(wake_.Get()); }

void SoundEngine::ReleaseDevice() {
  {
    std::lock_guard lock(mutex_);
    releaseStream_ = true;
    wantStream_ = false;
    for (auto& voice : started_) voice->Stop();
  }
  SetEvent(wake_.Get());
}

void SoundEngine::Run() noexcept {
  // The stream's objects live and die in this thread's multithreaded apartment.
  NameThisThread(L"kivora-engine");
  // Room enough that handing voices on never allocates while a sound plays.
  playing_.reserve(kVoiceRoom);
  retiring_.reserve(kVoiceRoom);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  try {
    ProAudioRegistration proAudio;
    RunLoop();
  } catch (...) {
    // Nothing may leave a thread; the engine falls silent instead.
  }
  streamOpen_.store(false);
  playing_.clear();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  openTried_.notify_all();
  if (SUCCEEDED(com)) CoUninitialize();
}

void SoundEngine::RunLoop() {
  std::unique_ptr<OutputStream> stream;
  // A new default device takes the stream over: at once while a sound plays, which
  // goes on there, and at the next sound otherwise.
  DefaultDeviceWatch watch([this] {
    {
      std::lock_guard lock(mutex_);
      defaultChanged_ = true;
    }
    SetEvent(wake_.Get());
  });
  for (;;) {
    TakeRequests(stream);
    bool wantStream = false;
    bool move = false;
    {
      std::lock_guard lock(mutex_);
      if (quit_) return;
      move = std::exchange(defaultChanged_, false) && stream;
      if (move) wantStream_ = !playing_.empty();
      wantStream = wantStream_;
    }
    if (move) {
      // The voices stay: the stream opened next plays them on from where they are.
      stream.reset();
      streamOpen_.store(false);
    }
    std::unique_ptr<OutputStream> opened;
    if (opener_.Take(opened)) {
      Opened(std::move(opened), stream);
    } else if (!stream && wantStream) {
      if (!opener_.Busy()) {
        opener_.Begin();
      } else if (opener_.BusyFor() >= kOpenTimeoutMs) {
        // The device hangs: this sound, and every one until it answers, goes elsewhere at once.
        playing_.clear();
        {
          std::lock_guard lock(mutex_);
          wantStream_ = false;
        }
        AttemptEnded();
      }
    }
    if (stream && !Render(*stream)) {
      // The device failed or went away. The first failure of a stream that has
      // played nothing since it opened keeps the voices: a stream opened afresh
      // plays them (so the click that met a device invalidated while the stream
      // was stopped is heard). A stream failing again lets them go; the next
      // sound opens it again.
      if (wroteSinceOpen_ || !reopenedForVoices_) {
        ReopenForVoices(stream);
        continue;
      }
      CloseStream(stream);
    }
    // A stopped stream signals nothing: then only a request, an attempt to open
    // ending or running out of time, or the end of the quiet spell that closes
    // the stream, wakes the thread.
    DWORD timeout = INFINITE;
    // Only a stream with no voice at all closes: a paused one keeps its place.
    if (stream && stopped_ && playing_.empty()) {
      const ULONGLONG quiet = GetTickCount64() - quietSince_;
      if (quiet >= kQuietCloseMs) {
        CloseStream(stream);
        continue;
      }
      timeout = static_cast<DWORD>(kQuietCloseMs - quiet);
    }
    if (opener_.Busy() && opener_.BusyFor() < kOpenTimeoutMs) {
      timeout = std::min(timeout, static_cast<DWORD>(kOpenTimeoutMs - opener_.BusyFor()));
    }
    const bool running = stream && !stopped_;
    HANDLE handles[3] = {wake_.Get()};
    DWORD count = 1;
    if (opener_.Busy()) handles[count++] = opener_.Ended();
    if (running) handles[count++] = stream->ReadyEvent();
    WaitForMultipleObjects(count, handles, FALSE, timeout);
  }
}

void SoundEngine::Opened(std::unique_ptr<OutputStream> opened, std::unique_ptr<OutputStream>& stream) {
  bool wanted = false;
  {
    std::lock_guard lock(mutex_);
    wanted = wantStream_ || !playing_.empty() || !started_.empty();
  }
  // A stream nobody wants any more (the device was released meanwhile) closes at once.
  if (stream || !wanted) opened.reset();
  if (opened) {
    stream = std::move(opened);
    outputRate_.store(stream->SampleRate());
    streamOpenings_.fetch_add(1);
    wroteSinceOpen_ = false;
    mix_.reserve(size_t{stream->BufferFrames()} * 2);
    if (!warmed_) {
      decoders_.Warm(kCommonMp3, kWarmDecoders);
      warmed_ = true;
    }
    // Made before the old one goes, so a stream at the same rate keeps the same table.
    commonConverter_ = Resampler::Create(kCommonMp3.sampleRate, stream->SampleRate(), kCommonMp3.channels);
    // The stream waits stopped and empty until a sound comes, which then
    // starts it with no silence queued before it.
    stopped_ = false;
    quietSince_ = GetTickCount64();
    if (stream->Discard()) stopped_ = true;
    else stream.reset();
  }
  if (!stream) {
    // No device now: try again at the next sound. What was playing is let go.
    playing_.clear();
    std::lock_guard lock(mutex_);
    wantStream_ = false;
  }
  streamOpen_.store(stream != nullptr);
  AttemptEnded();
}

void SoundEngine::AttemptEnded() {
  {
    std::lock_guard lock(mutex_);
    ++openAttempts_;
  }
  openTried_.notify_all();
}

void SoundEngine::ReopenForVoices(std::unique_ptr<OutputStream>& stream) {
  stream.reset();
  streamOpen_.store(false);
  reopenedForVoices_ = true;
  std::lock_guard lock(mutex_);
  wantStream_ = !playing_.empty() || !started_.empty();
}

void SoundEngine::CloseStream(std::unique_ptr<OutputStream>& stream) {
  stream.reset();
  playing_.clear();
  streamOpen_.store(false);
  std::lock_guard lock(mutex_);
  // A sound handed over meanwhile opens it again at once.
  wantStream_ = !started_.empty();
}

void SoundEngine::TakeRequests(std::unique_ptr<OutputStream>& stream) {
  std::vector<std::shared_ptr<Voice>> started;
  bool release = false;
  {
    std::lock_guard lock(mutex_);
    started.swap(started_);
    release = std::exchange(releaseStream_, false);
  }
  for (auto& voice : started) {
    // Only the newest voice sounds: every earlier one fades out.
    for (auto& earlier : playing_) earlier->Stop();
    playing_.push_back(std::move(voice));
  }

  if (release) {
    stream.reset();
    playing_.clear();
    streamOpen_.store(false);
  }
}

void SoundEngine::RetireEnded() {
  for (auto& voice : playing_) {
    // Past the room kept, a voice is freed here after all: a burst of clicks no hand can make.
    if (voice->Ended() && retiring_.size() < retiring_.capacity()) retiring_.push_back(std::move(voice));
  }
  std::erase_if(playing_, [](const std::shared_ptr<Voice>& voice) { return !voice || voice->Ended(); });
  if (!retiring_.empty()) feeder_.TryRetire(retiring_);
}

bool SoundEngine::Render(OutputStream& stream) {
  RetireEnded();
  const ULONGLONG now = GetTickCount64();
  // Paused voices make no sound: with only those, the stream is as quiet as with none.
  const bool silent = std::ranges::all_of(playing_, [](const std::shared_ptr<Voice>& voice) { return voice->Held(); });
  if (!silent) {
    quietSince_ = 0;
  } else if (quietSince_ == 0) {
    quietSince_ = now;
  }
  if (silent && (stopped_ || now - quietSince_ > kIdleStopMs)) {
    // The last sound's tail has been heard: the stream stops until a sound
    // comes or resumes, which then starts it into an empty buffer, and costs
    // nothing meanwhile.
    if (!stream.Discard()) return false;
    stopped_ = true;
    return true;
  }
  const auto writable = stream.WritableFrames();
  if (!writable) return false;
  if (*writable == 0) return true;
  // A running stream found empty while a voice sounds has played silence that was not asked for.
  if (!stopped_ && !silent && *writable >= stream.BufferFrames()) deviceUnderruns_.fetch_add(1);
  mix_.assign(static_cast<size_t>(*writable) * 2, 0.0f);
  for (auto& voice : playing_) {
    // A stream reopened on another device may run at another rate.
    voice->AttachTo(stream.SampleRate());
    const uint64_t starved = voice->Starvations();
    voice->MixInto(mix_.data(), *writable);
    feedStarvations_.fetch_add(voice->Starvations() - starved);
  }
  if (!stream.Write(mix_.data(), *writable)) return false;
  stopped_ = false;
  wroteSinceOpen_ = true;
  reopenedForVoices_ = false;
  return true;
}

}  // namespace kivora::audio
