#include "audio/device/device_opener.h"

#include <objbase.h>

#include <thread>

#include "audio/device/audio_thread_role.h"

namespace kivora::audio {

struct DeviceOpener::Attempt {
  kivora::KernelHandle ended{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  std::mutex mutex;  // guards the three below
  std::unique_ptr<OutputStream> stream;
  bool done = false;
  bool abandoned = false;  // the engine is gone: a stream that comes is closed here
};

DeviceOpener::DeviceOpener(OutputDevice& device) : device_(device), attempt_(std::make_shared<Attempt>()) {}

DeviceOpener::~DeviceOpener() {
  std::lock_guard lock(attempt_->mutex);
  attempt_->abandoned = true;
  attempt_->stream.reset();
}

HANDLE DeviceOpener::Ended() const { return attempt_->ended.Get(); }

void DeviceOpener::Begin() {
  if (busy_) return;
  {
    std::lock_guard lock(attempt_->mutex);
    attempt_->done = false;
    attempt_->stream.reset();
  }
  busy_ = true;
  startedAt_ = GetTickCount64();
  // One thread an attempt, let go at once: one that hangs in the audio driver
  // stays there without anyone waiting for it.
  std::thread([attempt = attempt_, &device = device_] {
    NameThisThread(L"kivora-device-open");
    // The stream lives on in the engine thread's multithreaded apartment, the same as this one's.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_ptr<OutputStream> stream;
    try {
      stream = device.Open();
    } catch (...) {
      // An open that throws is an open that failed.
    }
    {
      std::lock_guard lock(attempt->mutex);
      if (!attempt->abandoned) {
        attempt->stream = std::move(stream);
        attempt->done = true;
        SetEvent(attempt->ended.Get());
      }
    }
    stream.reset();
    if (SUCCEEDED(com)) CoUninitialize();
  }).detach();
}

bool DeviceOpener::Take(std::unique_ptr<OutputStream>& stream) {
  if (!busy_) return false;
  std::lock_guard lock(attempt_->mutex);
  if (!attempt_->done) return false;
  stream = std::move(attempt_->stream);
  attempt_->done = false;
  busy_ = false;
  return true;
}

}  // namespace kivora::audio
