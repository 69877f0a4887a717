#include "audio/device/device_opener.h"

#include <objbase.h>

#include <thread>

#include "audio/device/audio_thread_role.h"

namespace kivora::audio {

struct DeviceOpener::Attempt {
  kivora::KernelHandle ended{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  std::mutex mutex;  // guards the three below
  Outcome outcome;
  bool done = false;
  bool abandoned = false;  // the output is gone: a stream that comes is closed here
};

DeviceOpener::DeviceOpener(std::shared_ptr<OutputDevice> device, std::function<void(unsigned)> opened)
    : device_(std::move(device)), opened_(std::move(opened)), attempt_(std::make_shared<Attempt>()) {}

DeviceOpener::~DeviceOpener() {
  std::lock_guard lock(attempt_->mutex);
  attempt_->abandoned = true;
  attempt_->outcome = {};
}

HANDLE DeviceOpener::Ended() const { return attempt_->ended.Get(); }

void DeviceOpener::Begin() {
  if (busy_) return;
  {
    std::lock_guard lock(attempt_->mutex);
    attempt_->done = false;
    attempt_->outcome = {};
  }
  busy_ = true;
  startedAt_ = GetTickCount64();
  // One thread an attempt, let go at once: one that hangs in the audio driver
  // stays there without anyone waiting for it. It holds its own share of the
  // device and its own copy of what runs after an open, never the opener's.
  std::thread([attempt = attempt_, device = device_, opened = opened_] {
    NameThisThread(L"kivora-device-open");
    // The stream lives on in the device thread's multithreaded apartment, the same as this one's.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Outcome outcome;
    try {
      outcome.stream = device->Open();
      if (outcome.stream && opened) opened(outcome.stream->SampleRate());
      if (!outcome.stream) outcome.stoodDown = device->StandsDown();
    } catch (...) {
      // An open that throws is an open that failed.
      outcome = {};
    }
    {
      std::lock_guard lock(attempt->mutex);
      if (!attempt->abandoned) {
        attempt->outcome = std::move(outcome);
        attempt->done = true;
        SetEvent(attempt->ended.Get());
      }
    }
    outcome = {};
    if (SUCCEEDED(com)) CoUninitialize();
  }).detach();
}

bool DeviceOpener::Take(Outcome& outcome) {
  if (!busy_) return false;
  std::lock_guard lock(attempt_->mutex);
  if (!attempt_->done) return false;
  outcome = std::move(attempt_->outcome);
  attempt_->done = false;
  busy_ = false;
  return true;
}

}  // namespace kivora::audio
