#include "audio/device/wasapi_capture.h"

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <ksmedia.h>
#include <wrl/client.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "audio/device/mix_format.h"
#include "base/unique_handle.h"

namespace kivora::audio {
namespace {

using Microsoft::WRL::ComPtr;

class WasapiCapture final : public CaptureStream {
 public:
  WasapiCapture(ComPtr<IAudioClient> client, ComPtr<IAudioCaptureClient> capture, KernelHandle ready, UINT32 bufferFrames,
                unsigned rate, unsigned channels, SampleKind kind)
      : client_(std::move(client)),
        capture_(std::move(capture)),
        ready_(std::move(ready)),
        rate_(rate),
        channels_(channels),
        kind_(kind),
        stereo_(static_cast<size_t>(bufferFrames) * 2) {}
  ~WasapiCapture() override { client_->Stop(); }

  unsigned SampleRate() const override { return rate_; }
  uint32_t PeriodFrames() const override { return rate_ / 100; }
  HANDLE ReadyEvent() const override { return ready_.Get(); }

  bool ReadPackets(Sink& sink) override {
    for (;;) {
      UINT32 waiting = 0;
      if (FAILED(capture_->GetNextPacketSize(&waiting))) return false;
      if (waiting == 0) return true;
      BYTE* data = nullptr;
      UINT32 frames = 0;
      DWORD flags = 0;
      UINT64 qpcPosition = 0;
      if (FAILED(capture_->GetBuffer(&data, &frames, &flags, nullptr, &qpcPosition))) return false;
      // A packet is never larger than the buffer, whose size the stereo copy has.
      const UINT32 taken = std::min<UINT32>(frames, static_cast<UINT32>(stereo_.size() / 2));
      ToStereo(data, taken, (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0);
      // The device's time for the packet's first frame, in 100 ns units; a
      // driver that gives none is taken as handing the packet over as it ends.
      const double captured = qpcPosition != 0 ? qpcPosition / 1e7 : PerformanceSeconds() - static_cast<double>(frames) / rate_;
      if (FAILED(capture_->ReleaseBuffer(frames))) return false;
      sink.Captured(std::span<const float>(stereo_.data(), static_cast<size_t>(taken) * 2), captured);
    }
  }

 private:
  float Sample(const BYTE* data, size_t index) const {
    if (kind_ == SampleKind::Float32) return reinterpret_cast<const float*>(data)[index];
    return reinterpret_cast<const int16_t*>(data)[index] / 32768.0f;
  }

  // A mono device sounds in both channels; of more than two, the front pair is taken.
  void ToStereo(const BYTE* data, UINT32 frames, bool silent) {
    for (UINT32 frame = 0; frame < frames; ++frame) {
      const size_t first = static_cast<size_t>(frame) * channels_;
      const float left = silent ? 0.0f : Sample(data, first);
      stereo_[2 * frame] = left;
      stereo_[2 * frame + 1] = silent || channels_ == 1 ? left : Sample(data, first + 1);
    }
  }

  ComPtr<IAudioClient> client_;
  ComPtr<IAudioCaptureClient> capture_;
  KernelHandle ready_;
  unsigned rate_;
  unsigned channels_;
  SampleKind kind_;
  std::vector<float> stereo_;
};

}  // namespace

double PerformanceSeconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::unique_ptr<CaptureStream> OpenCaptureStream(const std::wstring& endpointId) {
  ComPtr<IMMDeviceEnumerator> enumerator;
  ComPtr<IMMDevice> device;
  DWORD state = 0;
  if (endpointId.empty() ||
      FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator))) ||
      FAILED(enumerator->GetDevice(endpointId.c_str(), &device)) || FAILED(device->GetState(&state)) ||
      state != DEVICE_STATE_ACTIVE) {
    return nullptr;
  }
  ComPtr<IAudioClient> client;
  CoTaskFormat mix;
  std::optional<SampleKind> kind;
  WAVEFORMATEXTENSIBLE own{};
  const WAVEFORMATEX* format = nullptr;
  // The mix format when it holds samples read here; otherwise float stereo at
  // the mix rate, which the system converts to.
  for (const bool converted : {false, true}) {
    client.Reset();
    if (FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(client.GetAddressOf())))) {
      return nullptr;
    }
    if (!mix.format && FAILED(client->GetMixFormat(&mix.format))) return nullptr;
    kind = converted ? SampleKind::Float32 : KindOf(*mix.format);
    if (!kind) continue;
    format = mix.format;
    DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK;
    if (converted) {
      own = FloatStereo(mix.format->nSamplesPerSec);
      format = &own.Format;
      flags |= AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;
    }
    // A duration of 0 asks for the smallest buffer (30 ms under Wine, whose
    // capture from a file delivers nothing with a buffer above 40 ms).
    if (SUCCEEDED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, 0, 0, format, nullptr))) break;
    format = nullptr;
  }
  if (!format) return nullptr;
  KernelHandle ready(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!ready || FAILED(client->SetEventHandle(ready.Get()))) return nullptr;
  UINT32 bufferFrames = 0;
  ComPtr<IAudioCaptureClient> capture;
  if (FAILED(client->GetBufferSize(&bufferFrames)) || FAILED(client->GetService(IID_PPV_ARGS(&capture)))) return nullptr;
  auto stream = std::make_unique<WasapiCapture>(client, capture, std::move(ready), bufferFrames, format->nSamplesPerSec,
                                                format->nChannels, *kind);
  if (FAILED(client->Start())) return nullptr;
  return stream;
}

}  // namespace kivora::audio
