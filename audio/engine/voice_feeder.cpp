#include "audio/engine/voice_feeder.h"

#include <algorithm>
#include <chrono>

#include "audio/device/audio_thread_role.h"

namespace kivora::audio {
namespace {

// How often the feeder looks at rings being played: a fraction of the time a
// full ring lasts, and seldom enough to cost nothing. Each look fills a ring by
// a fifth of its time, so the feeder keeps ahead of the sound five times over.
constexpr auto kLookEvery = std::chrono::milliseconds(20);
// Voices retired between two looks, at most: far more than clicks can end.
constexpr size_t kRetireRoom = 64;

}  // namespace

VoiceFeeder::VoiceFeeder() {
  retired_.reserve(kRetireRoom);
  freeing_.reserve(kRetireRoom);
}

VoiceFeeder::~VoiceFeeder() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void VoiceFeeder::Add(std::shared_ptr<VoiceFeed> feed) {
  {
    std::lock_guard lock(mutex_);
    if (failed_) {
      // No feeder: the voice plays what it was prepared with.
      feed->Close();
      return;
    }
    added_.push_back(std::move(feed));
    ++held_;
  }
  wake_.notify_one();
  Start();
}

// Started with the engine's stream, or the first voice: a thread made while the
// program makes its window holds the window up (Wine runs every library's thread
// attach for it).
void VoiceFeeder::Start() {
  std::call_once(threadStarted_, [this] { thread_ = std::thread([this] { Run(); }); });
}

bool VoiceFeeder::TryRetire(std::vector<std::shared_ptr<Voice>>& voices) {
  {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || retired_.size() + voices.size() > retired_.capacity()) return false;
    for (auto& voice : voices) retired_.push_back(std::move(voice));
  }
  voices.clear();
  wake_.notify_one();
  return true;
}

size_t VoiceFeeder::FeedsHeld() {
  std::lock_guard lock(mutex_);
  return held_;
}

void VoiceFeeder::Run() noexcept {
  NameThisThread(L"kivora-feeder");
  // Ahead of the program's other threads, so a busy window never starves a ring.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
  try {
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        // Nothing to feed: sleep until a voice comes.
        const auto work = [&] { return quit_ || !added_.empty() || !retired_.empty(); };
        if (feeds_.empty()) wake_.wait(lock, work);
        else wake_.wait_for(lock, kLookEvery, work);
        if (quit_) return;
        std::ranges::move(added_, std::back_inserter(feeds_));
        added_.clear();
        freeing_.swap(retired_);
      }
      freeing_.clear();
      for (auto& feed : feeds_) {
        if (feed->Abandoned()) feed->Close();
        else feed->Fill(feed->BlocksWanted());
      }
      // A feed whose clip is decoded, or whose voice has gone, needs the feeder no more.
      std::erase_if(feeds_, [](const std::shared_ptr<VoiceFeed>& feed) { return feed->DecodingDone(); });
      std::lock_guard lock(mutex_);
      held_ = feeds_.size() + added_.size();
    }
  } catch (...) {
    // Nothing may leave a thread: voices play what their rings hold, and end.
    std::lock_guard lock(mutex_);
    failed_ = true;
    for (auto& feed : feeds_) feed->Close();
    for (auto& feed : added_) feed->Close();
  }
}

}  // namespace kivora::audio
