// Plays sounds the instant they are asked for, on every output at once: each
// file is decoded once, by the feeder thread, into a ring that every output reads
// with a cursor of its own; each output (a sink) has its own device thread,
// stream, clock and rate conversion, so no device ever waits for another. A new
// sound cuts the one before off with a short fade. Volume, pause and the cut-off
// are the engine's state of each sound, which every output obeys.
//
// Outputs: "monitor", the default device, always there; others (the broadcast
// device) are set and removed by policy (sink_policy.h).
// Threads: the engine object belongs to the thread that controls sounds (the
// window's); the feeder thread owns the decoders; each output's device thread
// owns its stream and its voices (output_sink.h).
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "audio/decode/acm_mp3_decoder.h"
#include "audio/decode/pcm_decoder.h"
#include "audio/dsp/clip_gain.h"
#include "audio/dsp/shaped_clip.h"
#include "audio/device/device_watch.h"
#include "audio/device/output_device.h"
#include "audio/engine/converter_tables.h"
#include "audio/engine/output_sink.h"
#include "audio/engine/voice.h"
#include "audio/engine/voice_controls.h"
#include "audio/engine/voice_feeder.h"

namespace kivora::audio {

// How one press plays a sound: its clip's shape (level, fades, trim, loop),
// whether starting it cuts off every sound that plays, and whether it plays on
// the monitor alone (a preview the audience must not hear).
struct SoundShaping {
  ClipShape clip;
  bool cutsOthers = true;
  bool monitorOnly = false;
};

// One prepared sound as the player holds it: the engine's state of it, which
// every output obeys, and until it starts, each output's voice of it. Owned by
// the thread that controls sounds.
class Sound {
 public:
  // Gains in 0..1 for each channel; every output glides to them.
  void SetGain(float left, float right) { controls_->SetGain(left, right); }
  void SetPaused(bool paused) { controls_->paused.store(paused); }
  // Fades out on every output; then it has ended.
  void Stop() { controls_->stopping.store(true); }
  // Not stopped, and a voice of it is still to be heard (paused counts) or to start.
  bool Sounding() const { return controls_->Sounding(); }
  // Its voice on the monitor has not ended: a stop's fade still counts.
  bool Heard() const { return controls_->liveVoices.load() > 0; }

 private:
  friend class SoundEngine;
  struct ForOutput {
    uint64_t sinkId;
    std::shared_ptr<Voice> voice;
  };
  std::shared_ptr<VoiceControls> controls_ = std::make_shared<VoiceControls>();
  std::vector<ForOutput> voices_;  // handed to the outputs at Start
};

class SoundEngine {
 public:
  // Returns at once. The monitor's thread starts and its stream opens at
  // OpenStream, or at the first sound, whichever comes first.
  explicit SoundEngine(std::shared_ptr<OutputDevice> monitorDevice);
  ~SoundEngine();
  SoundEngine(const SoundEngine&) = delete;
  SoundEngine& operator=(const SoundEngine&) = delete;

  // Has the monitor open its stream (and the MP3 codec) now, in the background.
  // The program asks once its window is up, so the system's audio libraries load
  // while nobody waits for them.
  void OpenStream();

  // The file at path, decoded up to its first samples and ready to start; nothing
  // when the engine cannot play it (missing, not a format it decodes, no sound in
  // it) or the monitor has no stream to play it on. Only the monitor's open is
  // waited for, never another output's.
  std::shared_ptr<Sound> Prepare(const std::wstring& path, const SoundShaping& shaping = {});
  // Same, for a clip whose bytes live in memory as long as the sound.
  std::shared_ptr<Sound> Prepare(std::span<const uint8_t> clip, const SoundShaping& shaping = {});
  // Same, for a clip read from source.
  std::shared_ptr<Sound> Prepare(std::unique_ptr<ByteSource> source);

  // sound plays on every output; when it cuts the others off, every sound before
  // it fades out. Returns at once.
  void Start(const std::shared_ptr<Sound>& sound);
  // A sound that was paused plays again: outputs start their stopped streams.
  void Resumed();
  // Closes the monitor's stream until the next Start, so another player can have
  // the default device to itself (some devices take one stream at a time).
  void ReleaseDevice();

  // Sets the output of policy on device (endpointId names it, for device events);
  // a null device removes it. The sound playing now goes on where it plays; the
  // next one plays on the output too. presenceChanged hears, on the output's
  // thread, when its device is missing, back, or stands down.
  void SetOutput(const SinkPolicy& policy, std::shared_ptr<OutputDevice> device, std::wstring endpointId = {},
                 std::function<void(SinkPresence)> presenceChanged = {});
  // The output of policy's name, while it is set.
  OutputSink* Output(std::wstring_view name);
  // Scales everything the output of policy's name plays, now and whenever it is
  // set again (0..1); 1 unless set. Each output's level touches no other's samples.
  void SetOutputLevel(std::wstring_view name, float level);
  // Hands a device event to every output, as the system's notifications do.
  void NotifyDeviceEvent(const DeviceEvent& event);

  // The monitor's figures: whether its stream is open now, how often it was
  // opened, its rate, renders that found its device's buffer run dry while a
  // voice sounded, and renders that found a voice's decoding behind.
  bool StreamOpen() const { return Monitor().StreamOpen(); }
  int StreamOpenings() const { return Monitor().StreamOpenings(); }
  unsigned OutputRate() const { return Monitor().OutputRate(); }
  uint64_t DeviceUnderruns() const { return Monitor().DeviceUnderruns(); }
  uint64_t FeedStarvations() const { return Monitor().FeedStarvations(); }
  // Clips whose decoder (and file) the engine still holds.
  size_t DecodersHeld() { return feeder_.FeedsHeld(); }

  // Gains by path that Prepare(path) applies to a file's samples.
  ClipGains& FileGains() { return gains_; }

 private:
  struct Slot {
    uint64_t id = 0;
    std::unique_ptr<OutputSink> sink;
  };
  std::shared_ptr<Sound> PrepareDecoder(std::unique_ptr<PcmDecoder> decoder, const SoundShaping& shaping = {});
  float LevelOf(std::wstring_view name) const;
  OutputSink& Monitor() const { return *outputs_[0].sink; }

  // Declared in the order they may be destroyed last to first: the outputs' voices
  // go back to the feeder, and the feeder's decoders use the codec streams.
  // Shared with the monitor's opening threads, which open the first codec streams.
  std::shared_ptr<AcmStreamPool> decoders_ = std::make_shared<AcmStreamPool>();
  std::shared_ptr<ConverterTables> tables_ = std::make_shared<ConverterTables>();
  ClipGains gains_;
  VoiceFeeder feeder_;
  std::array<Slot, DecodedRing::kMaxReaders> outputs_;  // slot r reads as reader r; slot 0 is the monitor
  uint64_t nextOutputId_ = 1;
  std::vector<std::pair<std::wstring, float>> levels_;  // by output name, those set
};

}  // namespace kivora::audio
