#include "audio/engine/sound_engine.h"

#include <algorithm>
#include <atomic>

#include "audio/decode/clip_decoder.h"
#include "audio/decode/file_byte_source.h"

namespace kivora::audio {
namespace {

// A sound that finds the monitor's stream closed waits for the attempt to open
// it, which the opener's time-out (2 s) ends.
constexpr auto kOpenWait = std::chrono::milliseconds(2500);
// Blocks decoded before the click returns: about 90 ms of a 44.1 kHz clip, time
// enough for the feeder to take over on a busy machine (with 45 ms, one start in
// thirty found its decoding behind under a load of five).
constexpr size_t kPrimeBlocks = 4;
// Most MP3 files, the built-in clips among them, are 44.1 kHz stereo: codec
// streams for them are opened before the first click, and converter tables from
// their rate are made for every output as it opens.
constexpr Mp3FrameHeader kCommonMp3{.mpegVersion = 1, .layer = 3, .bitrateKbps = 128, .sampleRate = 44100,
                                    .channels = 2, .samplesPerFrame = 1152, .frameBytes = 417, .sideInfoBytes = 32};
constexpr int kWarmDecoders = 2;

}  // namespace

SoundEngine::SoundEngine(std::shared_ptr<OutputDevice> monitorDevice) {
  tables_->ForClipRate(kCommonMp3.sampleRate);
  // The monitor's first open also opens the codec streams of the common clips.
  auto warmed = std::make_shared<std::atomic<bool>>(false);
  SinkSetup monitor{kMonitorSink, std::move(monitorDevice), {}, 0, {},
                    [decoders = decoders_, warmed](unsigned) {
                      if (!warmed->exchange(true)) decoders->Warm(kCommonMp3, kWarmDecoders);
                    }};
  outputs_[0] = {nextOutputId_++, std::make_unique<OutputSink>(std::move(monitor), feeder_, tables_)};
}

// The outputs go first, each waiting for its device thread: their voices then
// go back to a feeder that is still there.
SoundEngine::~SoundEngine() {
  for (Slot& output : outputs_) output.sink.reset();
}

std::shared_ptr<Sound> SoundEngine::Prepare(const std::wstring& path, const SoundShaping& shaping) {
  // Opened again for each turn of a loop, on the feeder's thread, with the gain it has now.
  auto open = [path, decoders = decoders_, gain = gains_.For(path)]() -> std::unique_ptr<PcmDecoder> {
    auto source = FileByteSource::Open(path);
    if (!source) return nullptr;
    return WithGain(OpenClipDecoder(std::move(source), *decoders), gain);
  };
  auto decoder = open();
  if (!decoder) return nullptr;
  return PrepareDecoder(WithShape(std::move(decoder), shaping.clip, open), shaping);
}

std::shared_ptr<Sound> SoundEngine::Prepare(std::span<const uint8_t> clip, const SoundShaping& shaping) {
  auto open = [clip, decoders = decoders_] { return OpenClipDecoder(std::make_unique<MemoryByteSource>(clip), *decoders); };
  auto decoder = open();
  if (!decoder) return nullptr;
  return PrepareDecoder(WithShape(std::move(decoder), shaping.clip, open), shaping);
}

std::shared_ptr<Sound> SoundEngine::Prepare(std::unique_ptr<ByteSource> source) {
  return PrepareDecoder(OpenClipDecoder(std::move(source), *decoders_));
}

void SoundEngine::OpenStream() {
  Monitor().OpenStream();
  feeder_.Start();
}

std::shared_ptr<Sound> SoundEngine::PrepareDecoder(std::unique_ptr<PcmDecoder> decoder, const SoundShaping& shaping) {
  if (!decoder) return nullptr;
  // A sound before the monitor's stream was asked for, or after it closed: ask
  // now, and wait for that open. No stream (no device, one that refuses every
  // format, or one that hangs) means this engine cannot play the sound: the
  // caller's fallback plays it instead. No other output is waited for.
  if (!Monitor().AwaitStream(kOpenWait)) return nullptr;
  // Outputs that are up now hold the decoding back from the first block; the
  // others join the sound where it is when their device comes.
  DecodedRing::ReaderMask up = 0;
  size_t readers = 0;
  // A sound for the monitor alone has no reader on any other output.
  const auto plays = [&](const Slot& output) { return output.sink && (!shaping.monitorOnly || &output == &outputs_[0]); };
  for (const Slot& output : outputs_) {
    if (!plays(output)) continue;
    ++readers;
    if (output.sink->StreamOpen()) up |= 1u << output.sink->Reader();
  }
  auto feed = std::make_shared<VoiceFeed>(std::move(decoder), readers, up, tables_);
  feed->Fill(kPrimeBlocks);
  auto sound = std::make_shared<Sound>();
  sound->controls_->cutsOthers = shaping.cutsOthers;
  sound->controls_->stopFadeSeconds = shaping.clip.fadeOutMs / 1000.0;
  for (const Slot& output : outputs_) {
    if (!plays(output)) continue;
    std::shared_ptr<Voice> voice = Voice::Create(feed, output.sink->Reader(), sound->controls_);
    if (voice) sound->voices_.push_back({output.id, std::move(voice)});
    else feed->ReaderDone(output.sink->Reader());
  }
  // A file that yields no sound at all is no clip this engine plays.
  if (sound->voices_.empty() || sound->voices_.front().sinkId != outputs_[0].id) return nullptr;
  feeder_.Add(std::move(feed));
  return sound;
}

void SoundEngine::Start(const std::shared_ptr<Sound>& sound) {
  for (Sound::ForOutput& forOutput : sound->voices_) {
    // An output removed since the sound was prepared lets its voice go.
    for (Slot& output : outputs_) {
      if (output.sink && output.id == forOutput.sinkId) output.sink->Start(std::move(forOutput.voice));
    }
  }
  sound->voices_.clear();
}

void SoundEngine::Resumed() {
  for (Slot& output : outputs_) {
    if (output.sink) output.sink->Resumed();
  }
}

void SoundEngine::ReleaseDevice() { Monitor().ReleaseDevice(); }

void SoundEngine::SetOutput(const SinkPolicy& policy, std::shared_ptr<OutputDevice> device, std::wstring endpointId,
                            std::function<void(SinkPresence)> presenceChanged) {
  size_t slot = 0;
  while (slot < outputs_.size() && !(outputs_[slot].sink && outputs_[slot].sink->Policy().name == policy.name)) ++slot;
  if (slot == 0) return;  // the monitor is always there
  if (slot == outputs_.size()) {
    if (!device) return;
    slot = 1;
    while (slot < outputs_.size() && outputs_[slot].sink) ++slot;
    if (slot == outputs_.size()) return;  // no reader left
  }
  // The old output's thread ends here; an open of its still under way keeps its
  // own share of the device and ends on its own.
  outputs_[slot] = {};
  if (!device) return;
  SinkSetup setup{policy, std::move(device), std::move(endpointId), slot, std::move(presenceChanged)};
  outputs_[slot] = {nextOutputId_++, std::make_unique<OutputSink>(std::move(setup), feeder_, tables_)};
  outputs_[slot].sink->SetGain(LevelOf(policy.name));
  // An output that does not open for sounds keeps its stream from now on.
  if (!policy.opensForSounds) outputs_[slot].sink->OpenStream();
}

OutputSink* SoundEngine::Output(std::wstring_view name) {
  for (Slot& output : outputs_) {
    if (output.sink && output.sink->Policy().name == name) return output.sink.get();
  }
  return nullptr;
}

void SoundEngine::SetOutputLevel(std::wstring_view name, float level) {
  auto kept = std::ranges::find_if(levels_, [&](const auto& entry) { return entry.first == name; });
  if (kept == levels_.end()) levels_.emplace_back(std::wstring(name), level);
  else kept->second = level;
  if (OutputSink* output = Output(name)) output->SetGain(level);
}

float SoundEngine::LevelOf(std::wstring_view name) const {
  for (const auto& [kept, level] : levels_) {
    if (kept == name) return level;
  }
  return 1.0f;
}

void SoundEngine::NotifyDeviceEvent(const DeviceEvent& event) {
  for (Slot& output : outputs_) {
    if (output.sink) output.sink->Notify(event);
  }
}

}  // namespace kivora::audio
