#include "audio/engine/output_sink.h"

#include <objbase.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "audio/device/audio_thread_role.h"
#include "audio/device/wasapi_capture.h"

namespace kivora::audio {
namespace {

// An open of the device that takes longer has hung: a click's sound goes to the
// fallback meanwhile, and the stream is taken if the open ever returns.
constexpr ULONGLONG kOpenTimeoutMs = 2000;
// A missing device is tried again at most this often (and at once when the
// system says a device came or changed).
constexpr ULONGLONG kRetryMs = 1000;
// Voices playing or fading out at once, and ended voices not yet handed on, that
// fit without allocating: thirty-two overlapping sounds and as many fading out.
constexpr size_t kVoiceRoom = 64;
// Silence after the last sound before the stream stops: longer than the
// device's buffer, so the end of the sound is never cut.
constexpr ULONGLONG kIdleStopMs = 250;
// Quiet after which an output that opens for sounds closes its stopped stream:
// some systems keep a stopped stream's timer running (Wine's ALSA driver writes a
// period of silence every 10 ms), and reopening once the audio libraries are
// loaded costs about 2 ms. Sounds in quick succession keep the stream.
constexpr ULONGLONG kQuietCloseMs = 3000;
// A sound moving to a new default device fades out on the old one and in on the
// new one over this long.
constexpr double kMoveFadeSeconds = 0.004;
// The old device's stream is closed once it has played out its fade, or after this.
constexpr ULONGLONG kDrainMs = 500;

unsigned FadeFrames(unsigned rate) { return static_cast<unsigned>(std::max(1L, std::lround(kMoveFadeSeconds * rate))); }

}  // namespace

OutputSink::OutputSink(SinkSetup setup, VoiceFeeder& feeder, std::shared_ptr<ConverterTables> tables)
    : setup_(std::move(setup)),
      feeder_(feeder),
      tables_(std::move(tables)),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      // The opening thread makes the converter tables for the new stream's rate.
      opener_(setup_.device, [tables = tables_, opened = setup_.opened](unsigned rate) {
        if (tables) tables->ForOutputRate(rate);
        if (opened) opened(rate);
      }) {}

OutputSink::~OutputSink() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  SetEvent(wake_.Get());
  if (thread_.joinable()) thread_.join();
}

// A thread starting up competes with the program making its window: the device
// thread starts only when a stream is first wanted.
void OutputSink::StartThread() {
  std::call_once(threadStarted_, [this] { thread_ = std::thread([this] { Run(); }); });
}

void OutputSink::OpenStream() {
  {
    std::lock_guard lock(mutex_);
    wantStream_ = true;
  }
  SetEvent(wake_.Get());
  StartThread();
}

bool OutputSink::AwaitStream(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (streamOpen_) return true;
  // Read under the same lock that an attempt's end is told under: an open that
  // ends now is either seen here as open or counted as an attempt after this one.
  const int tried = openAttempts_;
  wantStream_ = true;
  SetEvent(wake_.Get());
  StartThread();
  openTried_.wait_for(lock, timeout, [&] { return streamOpen_ || openAttempts_ != tried || quit_; });
  return streamOpen_;
}

void OutputSink::Start(std::shared_ptr<Voice> voice) {
  {
    std::lock_guard lock(mutex_);
    started_.push_back(std::move(voice));
    wantStream_ = true;
    releaseStream_ = false;
  }
  SetEvent(wake_.Get());
  StartThread();
}

void OutputSink::Resumed() { SetEvent(wake_.Get()); }

void OutputSink::SetSource(std::shared_ptr<OutputSource> source) {
  {
    std::lock_guard lock(mutex_);
    sourceRequest_ = std::move(source);
    sourceChanged_ = true;
  }
  SetEvent(wake_.Get());
  StartThread();
}

void OutputSink::ReleaseDevice() {
  {
    std::lock_guard lock(mutex_);
    releaseStream_ = true;
    wantStream_ = false;
    for (auto& voice : started_) voice->Stop();
  }
  SetEvent(wake_.Get());
}

void OutputSink::Notify(const DeviceEvent& event) {
  {
    std::lock_guard lock(mutex_);
    const bool mine = !setup_.endpointId.empty() && _wcsicmp(event.endpointId.c_str(), setup_.endpointId.c_str()) == 0;
    if (event.kind == DeviceEvent::Kind::DefaultChanged) {
      // The default device's output moves there. A fixed device that became the
      // default stands down, since the default device's output plays every sound
      // there already; one that stood down may now play.
      if (setup_.policy.followsDefault) defaultChanged_ = true;
      else if (mine) deviceLost_ = true;
      else retryNow_ = true;
    } else if (!setup_.policy.followsDefault &&
               (setup_.endpointId.empty() || _wcsicmp(event.endpointId.c_str(), setup_.endpointId.c_str()) == 0)) {
      const bool gone = event.kind == DeviceEvent::Kind::Removed ||
                        (event.kind == DeviceEvent::Kind::StateChanged && event.state != DEVICE_STATE_ACTIVE);
      if (gone) deviceLost_ = true;
      else retryNow_ = true;
    }
  }
  SetEvent(wake_.Get());
}

void OutputSink::Run() noexcept {
  NameThisThread(setup_.policy.opensForSounds ? L"kivora-monitor" : L"kivora-broadcast");
  // Room enough that handing voices on never allocates while a sound plays.
  playing_.reserve(kVoiceRoom);
  retiring_.reserve(kVoiceRoom);
  // The streams' objects live and die in this thread's multithreaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  try {
    ProAudioRegistration proAudio;
    DeviceWatch watch([this](const DeviceEvent& event) { Notify(event); });
    RunLoop();
  } catch (...) {
    // Nothing may leave a thread; the output falls silent instead.
  }
  stream_.reset();
  next_.reset();
  draining_.reset();
  playing_.clear();
  SetStreamOpen(false);
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  openTried_.notify_all();
  if (SUCCEEDED(com)) CoUninitialize();
}

void OutputSink::RunLoop() {
  for (;;) {
    TakeRequests();
    bool wantStream = false, move = false, retryNow = false, lost = false;
    {
      std::lock_guard lock(mutex_);
      if (quit_) return;
      move = std::exchange(defaultChanged_, false);
      retryNow = std::exchange(retryNow_, false);
      lost = std::exchange(deviceLost_, false);
      // An output that does not open for sounds, or has a source, wants its stream as long as it exists.
      wantStream = wantStream_ || !setup_.policy.opensForSounds || source_;
    }
    const ULONGLONG now = GetTickCount64();
    if (retryNow) nextTryAt_ = 0;
    if (lost && stream_) StreamLost();
    if (move) Move();

    DeviceOpener::Outcome outcome;
    if (opener_.Take(outcome)) {
      Opened(std::move(outcome));
    } else if (!stream_ && wantStream) {
      if (!opener_.Busy()) {
        if (setup_.policy.opensForSounds || now >= nextTryAt_) opener_.Begin();
      } else if (opener_.BusyFor() >= kOpenTimeoutMs) {
        if (setup_.policy.opensForSounds) {
          // The device hangs: this sound, and every one until it answers, goes elsewhere at once.
          playing_.clear();
          {
            std::lock_guard lock(mutex_);
            wantStream_ = false;
          }
          AttemptEnded();
        } else {
          Tell(SinkPresence::Missing);
        }
      }
    }
    if (stream_ && !Render()) {
      // The device failed or went away. The first failure of a stream that has
      // played nothing since it opened keeps the voices: a stream opened afresh
      // plays them (so the click that met a device invalidated while the stream
      // was stopped is heard). A stream failing again lets them go; the next
      // sound opens it again.
      if (wroteSinceOpen_ || !reopenedForVoices_ || !setup_.policy.opensForSounds) {
        StreamLost();
        continue;
      }
      CloseStream();
    }
    if (draining_) {
      const auto writable = draining_->WritableFrames();
      if (!writable || *writable >= draining_->BufferFrames() || GetTickCount64() - drainingSince_ > kDrainMs) {
        draining_.reset();
      }
    }

    const DWORD timeout = WaitTimeout(GetTickCount64());
    if (stream_ && stopped_ && playing_.empty() && setup_.policy.opensForSounds && timeout == 0) {
      CloseStream();
      continue;
    }
    const bool running = stream_ && !stopped_;
    HANDLE handles[3] = {wake_.Get()};
    DWORD count = 1;
    if (opener_.Busy()) handles[count++] = opener_.Ended();
    if (running) handles[count++] = stream_->ReadyEvent();
    WaitForMultipleObjects(count, handles, FALSE, timeout);
  }
}

// A stopped stream signals nothing: then only a request, an attempt to open
// ending or running out of time, a retry falling due, the old device's stream to
// close, or the end of the quiet spell that closes the stream wakes the thread.
DWORD OutputSink::WaitTimeout(ULONGLONG now) const {
  ULONGLONG timeout = INFINITE;
  // Only a stream with no voice at all closes: a paused one keeps its place.
  if (stream_ && stopped_ && playing_.empty() && setup_.policy.opensForSounds) {
    const ULONGLONG quiet = now - quietSince_;
    timeout = quiet >= kQuietCloseMs ? 0 : kQuietCloseMs - quiet;
  }
  if (opener_.Busy() && opener_.BusyFor() < kOpenTimeoutMs) timeout = std::min(timeout, kOpenTimeoutMs - opener_.BusyFor());
  if (!stream_ && !opener_.Busy() && !setup_.policy.opensForSounds) {
    timeout = std::min(timeout, nextTryAt_ > now ? nextTryAt_ - now : 0);
  }
  if (draining_) timeout = std::min<ULONGLONG>(timeout, 10);
  return static_cast<DWORD>(timeout);
}

void OutputSink::Move() {
  if (!setup_.policy.followsDefault) return;
  if (!stream_) {
    // An open under way may land on the old default: it is taken all the same,
    // and the next sound after the quiet spell opens on the new one.
    return;
  }
  if (Sounding()) {
    // The sound goes on on the old device while the new one opens; then it
    // fades out there and in on the new one, from the frame that follows.
    moving_ = true;
    if (!opener_.Busy()) opener_.Begin();
    return;
  }
  // Nothing sounds: the stream closes, and opens on the new device when it is
  // next wanted (at once when a paused voice waits to go on).
  const bool voices = !playing_.empty();
  stream_.reset();
  SetStreamOpen(false);
  std::lock_guard lock(mutex_);
  wantStream_ = voices;
}

void OutputSink::Opened(DeviceOpener::Outcome outcome) {
  if (std::exchange(moving_, false) && stream_) {
    // The new default device is ready: the fade out on the old one begins, and
    // the stream changes over once it has ended (Render). A device that failed to
    // open leaves the sound where it is.
    if (outcome.stream && Adopt(outcome.stream)) next_ = std::move(outcome.stream);
    AttemptEnded();
    return;
  }
  bool wanted = !setup_.policy.opensForSounds || source_;
  {
    std::lock_guard lock(mutex_);
    wanted = wanted || wantStream_ || !playing_.empty() || !started_.empty();
  }
  // A stream nobody wants any more (the device was released meanwhile) closes at once.
  if (stream_ || !wanted) outcome.stream.reset();
  if (outcome.stream && Adopt(outcome.stream)) {
    stream_ = std::move(outcome.stream);
    stopped_ = true;
    quietSince_ = GetTickCount64();
    streamOpenings_.fetch_add(1);
    outputRate_.store(stream_->SampleRate());
    wroteSinceOpen_ = false;
    fadeFrames_ = FadeFrames(stream_->SampleRate());
    fadeLevel_ = fadeFrames_;
    limiter_.SetRate(stream_->SampleRate());
    // Voices kept while the device was away go on from where the sound is now.
    for (auto& voice : playing_) voice->RejoinFeed();
    Tell(SinkPresence::Present);
  }
  if (!stream_) {
    if (setup_.policy.opensForSounds) {
      // No device now: try again at the next sound. What was playing is let go.
      playing_.clear();
      std::lock_guard lock(mutex_);
      wantStream_ = false;
    } else {
      // Tried again later; the voices meanwhile hold nothing back.
      for (auto& voice : playing_) voice->LeaveFeed();
      nextTryAt_ = GetTickCount64() + kRetryMs;
      Tell(outcome.stoodDown ? SinkPresence::StandsDown : SinkPresence::Missing);
    }
  }
  SetStreamOpen(stream_ != nullptr);
  AttemptEnded();
}

bool OutputSink::Adopt(std::unique_ptr<OutputStream>& stream) {
  mix_.reserve(size_t{stream->BufferFrames()} * 2);
  // The stream waits stopped and empty until a sound comes, which then starts
  // it with no silence queued before it.
  if (!stream->Discard()) {
    stream.reset();
    return false;
  }
  return true;
}

void OutputSink::StreamLost() {
  stream_.reset();
  next_.reset();
  moving_ = false;
  SetStreamOpen(false);
  reopenedForVoices_ = true;
  // The voices stay, out of the feed until a stream takes them again.
  for (auto& voice : playing_) voice->LeaveFeed();
  nextTryAt_ = 0;
  std::lock_guard lock(mutex_);
  wantStream_ = !playing_.empty() || !started_.empty();
}

void OutputSink::CloseStream() {
  stream_.reset();
  next_.reset();
  moving_ = false;
  playing_.clear();
  SetStreamOpen(false);
  std::lock_guard lock(mutex_);
  // A sound handed over meanwhile opens it again at once.
  wantStream_ = !started_.empty();
}

void OutputSink::SetStreamOpen(bool open) {
  streamOpenNow_.store(open);
  std::lock_guard lock(mutex_);
  streamOpen_ = open;
}

void OutputSink::AttemptEnded() {
  {
    std::lock_guard lock(mutex_);
    ++openAttempts_;
  }
  openTried_.notify_all();
}

void OutputSink::Tell(SinkPresence presence) {
  if (toldAny_ && told_ == presence) return;
  // Present at the first open is nothing to tell.
  if (!toldAny_ && presence == SinkPresence::Present) {
    toldAny_ = true;
    told_ = presence;
    return;
  }
  toldAny_ = true;
  told_ = presence;
  if (setup_.presenceChanged) setup_.presenceChanged(presence);
}

void OutputSink::TakeRequests() {
  std::vector<std::shared_ptr<Voice>> started;
  bool release = false;
  std::shared_ptr<OutputSource> dropped;  // let go outside the lock
  {
    std::lock_guard lock(mutex_);
    started.swap(started_);
    release = std::exchange(releaseStream_, false);
    if (std::exchange(sourceChanged_, false)) {
      dropped = std::move(source_);
      source_ = sourceRequest_;
    }
  }
  // A source taken away has its last block played out before a quiet stream stops.
  if (dropped && !source_ && quietSince_ != 0) quietSince_ = GetTickCount64();
  for (auto& voice : started) {
    // A sound that cuts the others off is the only one that sounds: every earlier one fades out.
    if (voice->CutsOthers()) {
      for (auto& earlier : playing_) earlier->Stop();
    }
    playing_.push_back(std::move(voice));
  }
  if (release && setup_.policy.opensForSounds) {
    stream_.reset();
    next_.reset();
    moving_ = false;
    playing_.clear();
    SetStreamOpen(false);
  }
}

void OutputSink::RetireEnded() {
  for (auto& voice : playing_) {
    // Past the room kept, a voice is freed here after all: a burst of clicks no hand can make.
    if (voice->Ended() && retiring_.size() < retiring_.capacity()) retiring_.push_back(std::move(voice));
  }
  std::erase_if(playing_, [](const std::shared_ptr<Voice>& voice) { return !voice || voice->Ended(); });
  if (!retiring_.empty()) feeder_.TryRetire(retiring_);
}

bool OutputSink::Sounding() const {
  // Paused voices make no sound: with only those, the stream is as quiet as with none.
  return !std::ranges::all_of(playing_, [](const std::shared_ptr<Voice>& voice) { return voice->Held(); });
}

bool OutputSink::Render() {
  RetireEnded();
  const ULONGLONG now = GetTickCount64();
  const bool silent = !Sounding();
  if (!silent) {
    quietSince_ = 0;
  } else if (quietSince_ == 0) {
    quietSince_ = now;
  }
  if (silent && !next_ && !source_ && (stopped_ || now - quietSince_ > kIdleStopMs)) {
    // The last sound's tail has been heard: the stream stops until a sound
    // comes or resumes, which then starts it into an empty buffer, and costs
    // nothing meanwhile.
    if (!stream_->Discard()) return false;
    stopped_ = true;
    return true;
  }
  auto writable = stream_->WritableFrames();
  if (!writable) return false;
  // Moving to the new default device: no more than the fade out goes to the old one.
  if (next_) writable = std::min(*writable, fadeLevel_);
  if (*writable > 0) {
    // A running stream found empty while a voice sounds has played silence that was not asked for.
    if (!stopped_ && !silent && *writable >= stream_->BufferFrames()) deviceUnderruns_.fetch_add(1);
    mix_.assign(static_cast<size_t>(*writable) * 2, 0.0f);
    uint64_t starvedBefore = 0, starvedAfter = 0;
    for (auto& voice : playing_) {
      // A voice started while the device was away joins the sound where it is now.
      if (!voice->InFeed()) voice->RejoinFeed();
      starvedBefore += voice->Starvations();
    }
    // A stream reopened on another device may run at another rate.
    mixer_.SetOutputRate(stream_->SampleRate());
    const size_t produced = mixer_.Mix(playing_, mix_.data(), *writable);
    for (auto& voice : playing_) starvedAfter += voice->Starvations();
    feedStarvations_.fetch_add(starvedAfter - starvedBefore);
    // A voice whose decoding is behind gave less than the room: only what it gave
    // is written, so the device plays on from what it holds and the sound goes on
    // where it stopped. Silence is written only to keep a quarter of the buffer
    // queued (or when nothing sounds, to let the last sound's tail play out).
    uint32_t frames = *writable;
    if (!silent) {
      const uint32_t queued = stream_->BufferFrames() - *writable;
      const uint32_t floor = stream_->BufferFrames() / 4;
      const uint32_t keep = queued < floor ? floor - queued : 0;
      frames = std::min(*writable, std::max(static_cast<uint32_t>(produced), keep));
    }
    // The output's level is the sounds' level: a source (the microphone) keeps its own gain.
    const float gain = gain_.load();
    if (gain != 1.0f) {
      for (size_t sample = 0; sample < size_t{frames} * 2; ++sample) mix_[sample] *= gain;
    }
    if (source_ && frames > 0) {
      // What the device still holds plays first: this block is heard after it.
      const double heardAt =
          PerformanceSeconds() + static_cast<double>(stream_->BufferFrames() - *writable) / stream_->SampleRate();
      source_->MixInto(mix_.data(), frames, stream_->SampleRate(), heardAt, !silent);
    }
    const bool fading = next_ || fadeLevel_ < fadeFrames_;
    if (fading) {
      for (uint32_t frame = 0; frame < frames; ++frame) {
        // Fading out, a frame is heard at the level it starts at; fading in, at the one it reaches.
        if (!next_ && fadeLevel_ < fadeFrames_) ++fadeLevel_;
        const float level = static_cast<float>(fadeLevel_) / static_cast<float>(fadeFrames_);
        if (next_ && fadeLevel_ > 0) --fadeLevel_;
        mix_[2 * frame] *= level;
        mix_[2 * frame + 1] *= level;
      }
    }
    // However many voices add up, nothing beyond full scale reaches the device;
    // within it, the limiter passes every sample untouched.
    limiter_.Process(mix_.data(), frames, 2);
    if (frames > 0) {
      if (!stream_->Write(mix_.data(), frames)) return false;
      stopped_ = false;
      wroteSinceOpen_ = true;
      reopenedForVoices_ = false;
    }
  }
  if (next_ && fadeLevel_ == 0) {
    // Faded out: the old device plays out what it holds, and the sound goes on
    // on the new one from the frame that follows, fading in.
    draining_ = std::move(stream_);
    drainingSince_ = now;
    stream_ = std::move(next_);
    streamOpenings_.fetch_add(1);
    outputRate_.store(stream_->SampleRate());
    fadeFrames_ = FadeFrames(stream_->SampleRate());
    fadeLevel_ = 0;
    limiter_.SetRate(stream_->SampleRate());
    stopped_ = true;
    wroteSinceOpen_ = false;
    SetEvent(wake_.Get());
  }
  return true;
}

}  // namespace kivora::audio
