#include "loudness/loudness_matching.h"

#include <cmath>

#include "audio/dsp/file_loudness.h"
#include "audio/dsp/loudness_meter.h"
#include "base/long_path.h"
#include "base/message_window.h"
#include "base/window_procedure_guard.h"

namespace kivora {
namespace {

constexpr wchar_t kMailboxClass[] = L"KivoraLoudnessMailbox";
constexpr UINT kResultsMessage = WM_APP + 1;

// The file's identity and measurement; nothing when it cannot be read or decoded,
// or stop was set.
std::optional<LoudnessRecord> MeasureRecord(const std::wstring& path, const std::atomic<bool>* stop) {
  // The identity is taken first: a file written during the measurement then differs at the next play.
  std::optional<LoudnessRecord> record = FileIdentity(path);
  if (!record) return std::nullopt;
  const auto measured = audio::MeasureFile(path, stop);
  if (!measured) return std::nullopt;
  if (std::isfinite(measured->lufs)) record->lufs = measured->lufs;
  record->truePeak = measured->truePeak;
  return record;
}

}  // namespace

std::optional<LoudnessRecord> FileIdentity(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path.empty() || !GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  LoudnessRecord record;
  record.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  record.writeTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  return record;
}

LoudnessMatching::LoudnessMatching(audio::ClipGains& gains, SettingsStore& settings)
    : gains_(gains), settings_(settings) {}

LoudnessMatching::~LoudnessMatching() {
  stop_ = true;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    waiting_.clear();
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  if (mailbox_) DestroyWindow(mailbox_);
}

void LoudnessMatching::Restore(const SavedLoudness& saved,
                               const std::array<std::wstring, kSoundSlotCount>& paths) {
  enabled_ = saved.matching != L"0";
  for (int slot = 1; slot <= kSoundSlotCount; ++slot) {
    Slot& state = At(slot);
    state.path = paths[static_cast<size_t>(slot - 1)];
    const auto record = ParseLoudnessRecord(saved.slotRecords[static_cast<size_t>(slot - 1)]);
    const auto now = FileIdentity(state.path);
    if (record && now && record->SameFile(*now)) state.record = record;
    ApplyGain(slot);
  }
}

void LoudnessMatching::MeasureUnmeasured() {
  for (int slot = 1; slot <= kSoundSlotCount; ++slot) {
    const Slot& state = At(slot);
    if (!state.path.empty() && !state.record && !state.queued) Queue(slot);
  }
}

void LoudnessMatching::SlotChanged(int slot, const std::wstring& path) {
  Slot& state = At(slot);
  const std::wstring before = state.path;
  state = Slot{path, std::nullopt, false};
  // Another slot may hold the same file; its gain stays.
  bool stillUsed = false;
  for (const Slot& other : slots_) stillUsed |= other.path == before;
  if (!stillUsed) gains_.Forget(before);
  if (path.empty()) {
    settings_.WriteSlotLoudness(slot, L"");
    return;
  }
  ApplyGain(slot);
  Queue(slot);
}

void LoudnessMatching::SlotPlaying(int slot) {
  Slot& state = At(slot);
  if (state.path.empty()) return;
  const auto now = FileIdentity(state.path);
  if (state.record && now && state.record->SameFile(*now)) return;
  state.record.reset();  // never measured, or replaced since
  if (now && now->size <= kMeasureOnPressBytes) {
    if (const auto measured = MeasureRecord(state.path, nullptr)) {
      Keep(slot, *measured);
      return;
    }
  }
  ApplyGain(slot);
  if (!state.queued) Queue(slot);
}

void LoudnessMatching::SetEnabled(bool on) {
  enabled_ = on;
  settings_.WriteLoudnessMatching(on);
  for (int slot = 1; slot <= kSoundSlotCount; ++slot) ApplyGain(slot);
}

bool LoudnessMatching::Busy() const {
  std::lock_guard lock(mutex_);
  return measuring_ || !waiting_.empty() || !done_.empty();
}

void LoudnessMatching::Queue(int slot) {
  // The worker and its mailbox come with the first file: a window and a thread made
  // at start-up would hold up the main window (Wine runs every library's thread
  // attach for a new thread).
  if (!worker_.joinable()) {
    mailbox_ = CreateMessageWindow(kMailboxClass, MailboxProc, this);
    worker_ = std::thread([this] { Work(); });
  }
  Slot& state = At(slot);
  state.queued = true;
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back({slot, state.path, std::nullopt});
  }
  wake_.notify_one();
}

void LoudnessMatching::ApplyGain(int slot) {
  const Slot& state = At(slot);
  if (state.path.empty()) return;
  if (!enabled_ || !state.record || !state.record->lufs) {
    gains_.Forget(state.path);
    return;
  }
  gains_.Set(state.path, audio::MatchingGain(*state.record->lufs, state.record->truePeak, kBuiltinLoudnessLufs,
                                             kTruePeakCeilingDbtp));
}

// On the UI thread: results of files still in their slots are kept and applied.
void LoudnessMatching::TakeResults() {
  std::deque<Job> results;
  {
    std::lock_guard lock(mutex_);
    results.swap(done_);
  }
  for (Job& job : results) {
    Slot& state = At(job.slot);
    if (state.path != job.path) continue;  // the slot changed meanwhile; its new file is queued
    state.queued = false;
    if (!job.result) continue;  // unreadable: measured again at the next play
    if (state.record && state.record->SameFile(*job.result)) continue;  // a press measured it meanwhile
    Keep(job.slot, *job.result);
  }
}

void LoudnessMatching::Keep(int slot, const LoudnessRecord& record) {
  At(slot).record = record;
  settings_.WriteSlotLoudness(slot, FormatLoudnessRecord(record));
  ApplyGain(slot);
}

void LoudnessMatching::Work() noexcept {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return quit_ || !waiting_.empty(); });
    if (quit_) return;
    Job job = std::move(waiting_.front());
    waiting_.pop_front();
    measuring_ = true;
    lock.unlock();
    try {
      job.result = MeasureRecord(job.path, &stop_);
    } catch (...) {
      job.result.reset();
    }
    lock.lock();
    measuring_ = false;
    done_.push_back(std::move(job));
    if (mailbox_) PostMessageW(mailbox_, kResultsMessage, 0, 0);
  }
}

LRESULT CALLBACK LoudnessMatching::MailboxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message != kResultsMessage) return DefWindowProcW(hwnd, message, wParam, lParam);
  auto* self = reinterpret_cast<LoudnessMatching*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return 0;
  return GuardWindowProcedure(
      [self] {
        self->TakeResults();
        return LRESULT{0};
      },
      [] { return LRESULT{0}; });
}

}  // namespace kivora
