// Loudness matching of the custom sounds: each slot's file is measured once, on
// a worker thread, right after start-up or when it is assigned; from then on,
// while matching is on, the engine plays it at the gain that brings it to the
// built-in clips' loudness. A press that comes before its file's measurement
// measures a short file on the spot (a few seconds of sound take about a
// millisecond), so even its first play is matched; a long one plays at gain 1
// until the worker is done with it. Measurements are kept in the settings file
// with the file's size and time. A measurement under way is abandoned at exit.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "audio/dsp/clip_gain.h"
#include "loudness/loudness_record.h"
#include "settings/settings_store.h"

namespace kivora {

// The built-in clips' integrated loudness (median of the sixty; they lie between
// -15.6 and -11.5 LUFS), which custom sounds are brought to.
inline constexpr double kBuiltinLoudnessLufs = -14.6;
// A matched sound's true peak (between samples too) stays 1 dB under full scale.
inline constexpr double kTruePeakCeilingDbtp = -1.0;
// A file up to this size is measured on the press that finds it unmeasured: at
// most 6 s of CD-quality WAVE (2-3 ms) or 60 s of a 128 kbit/s MP3 (tens of ms, on
// that first press only). A larger file plays at gain 1 until the worker is done.
inline constexpr uint64_t kMeasureOnPressBytes = 1024 * 1024;

class LoudnessMatching {
 public:
  // gains: where the engine looks up a file's gain; both outlive this object.
  LoudnessMatching(audio::ClipGains& gains, SettingsStore& settings);
  ~LoudnessMatching();  // stops a measurement under way at its next step, so exit never waits for one
  LoudnessMatching(const LoudnessMatching&) = delete;
  LoudnessMatching& operator=(const LoudnessMatching&) = delete;

  // At start-up, on the UI thread, with the slots' saved paths: takes back the
  // saved measurements of files that have not changed since.
  void Restore(const SavedLoudness& saved, const std::array<std::wstring, kSoundSlotCount>& paths);
  // Right after start-up: every filled slot without a measurement of its file
  // (never measured, changed since, or a record that was refused) is queued.
  void MeasureUnmeasured();

  // A slot was given path (measured now) or emptied (empty path).
  void SlotChanged(int slot, const std::wstring& path);
  // A filled slot is about to play: unless its file was measured (and is unchanged),
  // a short file is measured now, before its first sample, and a long one queued.
  void SlotPlaying(int slot);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);  // writes 均衡 and sets or takes back every gain

  // The slot's measurement, once it has one for its current file.
  const std::optional<LoudnessRecord>& Measured(int slot) const { return At(slot).record; }
  // Measurements under way or waiting; for tests that wait for them.
  bool Busy() const;

 private:
  struct Slot {
    std::wstring path;
    std::optional<LoudnessRecord> record;
    bool queued = false;
  };
  struct Job {
    int slot;
    std::wstring path;
    std::optional<LoudnessRecord> result;
  };

  Slot& At(int slot) { return slots_[static_cast<size_t>(slot - 1)]; }
  const Slot& At(int slot) const { return slots_[static_cast<size_t>(slot - 1)]; }
  void Queue(int slot);
  void Keep(int slot, const LoudnessRecord& record);
  void ApplyGain(int slot);
  void TakeResults();
  void Work() noexcept;
  static LRESULT CALLBACK MailboxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  audio::ClipGains& gains_;
  SettingsStore& settings_;
  bool enabled_ = true;
  std::array<Slot, kSoundSlotCount> slots_;  // the UI thread's own
  HWND mailbox_ = nullptr;                   // message-only window the worker posts results to, from the first file queued

  mutable std::mutex mutex_;  // guards the queues and quit_, shared with the worker
  std::condition_variable wake_;
  std::deque<Job> waiting_, done_;
  bool measuring_ = false;
  bool quit_ = false;
  std::atomic<bool> stop_{false};  // set at exit; the measurement under way gives up at its next step
  // Reads and measures the queued files, one at a time; touches nothing else.
  // Started with the first file queued.
  std::thread worker_;
};

// A file's size and last write time as a record without a measurement; nothing when it cannot be read.
std::optional<LoudnessRecord> FileIdentity(const std::wstring& path);

}  // namespace kivora
