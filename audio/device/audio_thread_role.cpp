#include "audio/device/audio_thread_role.h"

namespace kivora::audio {

void NameThisThread(const wchar_t* name) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const auto set = reinterpret_cast<SetDescription>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (set) set(GetCurrentThread(), name);
}

ProAudioRegistration::ProAudioRegistration() {
  using SetCharacteristics = HANDLE WINAPI(LPCWSTR, LPDWORD);
  using SetPriority = BOOL WINAPI(HANDLE, int);
  auto* set = avrt_.Find<SetCharacteristics>("AvSetMmThreadCharacteristicsW");
  DWORD taskIndex = 0;
  if (set) task_ = set(L"Pro Audio", &taskIndex);
  if (task_) {
    // AVRT_PRIORITY_HIGH: within the class, above the system's own audio threads' defaults.
    if (auto* priority = avrt_.Find<SetPriority>("AvSetMmThreadPriority")) priority(task_, 1);
  } else {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  }
}

ProAudioRegistration::~ProAudioRegistration() {
  using Revert = BOOL WINAPI(HANDLE);
  if (!task_) return;
  if (auto* revert = avrt_.Find<Revert>("AvRevertMmThreadCharacteristics")) revert(task_);
}

}  // namespace kivora::audio
