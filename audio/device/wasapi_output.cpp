#include "audio/device/wasapi_output.h"

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <ksmedia.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

#include "audio/device/render_endpoints.h"
#include "audio/device/mix_format.h"
#include "base/unique_handle.h"

namespace kivora::audio {
namespace {

using Microsoft::WRL::ComPtr;

class WasapiStream final : public OutputStream {
 public:
  WasapiStream(ComPtr<IAudioClient> client, ComPtr<IAudioRenderClient> render, KernelHandle ready, UINT32 bufferFrames,
               unsigned rate, unsigned channels, SampleKind kind)
      : client_(std::move(client)),
        render_(std::move(render)),
        ready_(std::move(ready)),
        bufferFrames_(bufferFrames),
        rate_(rate),
        channels_(channels),
        kind_(kind) {}
  ~WasapiStream() override { client_->Stop(); }

  unsigned SampleRate() const override { return rate_; }
  uint32_t BufferFrames() const override { return bufferFrames_; }
  HANDLE ReadyEvent() const override { return ready_.Get(); }

  std::optional<uint32_t> WritableFrames() override {
    UINT32 padding = 0;
    if (FAILED(client_->GetCurrentPadding(&padding))) return std::nullopt;
    return bufferFrames_ - padding;
  }

  bool Write(const float* stereo, uint32_t frames) override {
    if (frames == 0) return true;
    BYTE* data = nullptr;
    if (FAILED(render_->GetBuffer(frames, &data))) return false;
    if (!stereo) return SUCCEEDED(render_->ReleaseBuffer(frames, AUDCLNT_BUFFERFLAGS_SILENT)) && StartIfStopped();
    for (uint32_t frame = 0; frame < frames; ++frame) {
      for (unsigned channel = 0; channel < channels_; ++channel) {
        float value = 0.0f;
        if (channels_ == 1) value = 0.5f * (stereo[frame * 2] + stereo[frame * 2 + 1]);
        else if (channel < 2) value = stereo[frame * 2 + channel];
        Store(data, frame * channels_ + channel, value);
      }
    }
    return SUCCEEDED(render_->ReleaseBuffer(frames, 0)) && StartIfStopped();
  }

  bool Discard() override {
    if (stopped_) return true;
    stopped_ = true;
    return SUCCEEDED(client_->Stop()) && SUCCEEDED(client_->Reset());
  }

 private:
  bool StartIfStopped() {
    if (!stopped_) return true;
    stopped_ = false;
    return SUCCEEDED(client_->Start());
  }

  void Store(BYTE* data, size_t index, float value) const {
    if (value > 1.0f) value = 1.0f;
    if (value < -1.0f) value = -1.0f;
    if (kind_ == SampleKind::Float32) {
      reinterpret_cast<float*>(data)[index] = value;
    } else {
      reinterpret_cast<int16_t*>(data)[index] = static_cast<int16_t>(value * 32767.0f);
    }
  }

  ComPtr<IAudioClient> client_;
  ComPtr<IAudioRenderClient> render_;
  KernelHandle ready_;
  UINT32 bufferFrames_;
  unsigned rate_;
  unsigned channels_;
  SampleKind kind_;
  bool stopped_ = false;
};

}  // namespace

bool WasapiOutputDevice::StandsDown() {
  if (endpointId_.empty()) return false;
  ComPtr<IMMDeviceEnumerator> enumerator;
  ComPtr<IMMDevice> device;
  return SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator))) &&
         SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device)) &&
         EndpointIdOf(*device.Get()) == endpointId_;
}

std::unique_ptr<OutputStream> WasapiOutputDevice::Open() {
  ComPtr<IMMDeviceEnumerator> enumerator;
  if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator)))) {
    return nullptr;
  }
  ComPtr<IMMDevice> device;
  if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))) device.Reset();
  if (!endpointId_.empty()) {
    if (device && EndpointIdOf(*device.Get()) == endpointId_) return nullptr;
    device.Reset();
    DWORD state = 0;
    if (FAILED(enumerator->GetDevice(endpointId_.c_str(), &device)) || FAILED(device->GetState(&state)) ||
        state != DEVICE_STATE_ACTIVE) {
      return nullptr;
    }
  }
  if (!device) return nullptr;
  // The device's own mix format when it holds samples this stream writes;
  // otherwise, or when the device refuses it, 32-bit float stereo at the mix
  // rate, which the system converts (a 24-bit or multichannel mix, say).
  ComPtr<IAudioClient> client;
  CoTaskFormat mix;
  std::optional<SampleKind> kind;
  WAVEFORMATEXTENSIBLE own{};
  const WAVEFORMATEX* format = nullptr;
  for (const bool converted : {false, true}) {
    client.Reset();
    if (FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                reinterpret_cast<void**>(client.GetAddressOf())))) {
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
    REFERENCE_TIME defaultPeriod = 0, minimumPeriod = 0;
    if (FAILED(client->GetDevicePeriod(&defaultPeriod, &minimumPeriod))) return nullptr;
    // Asking for one period gives the smallest buffer shared mode allows (the
    // system rounds it up to what the device can do).
    const REFERENCE_TIME asked = std::max<REFERENCE_TIME>(defaultPeriod, REFERENCE_TIME{bufferMs_} * 10000);
    if (SUCCEEDED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, asked, 0, format, nullptr))) break;
    format = nullptr;
  }
  if (!format) return nullptr;
  KernelHandle ready(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!ready || FAILED(client->SetEventHandle(ready.Get()))) return nullptr;
  UINT32 bufferFrames = 0;
  if (FAILED(client->GetBufferSize(&bufferFrames))) return nullptr;
  ComPtr<IAudioRenderClient> render;
  if (FAILED(client->GetService(IID_PPV_ARGS(&render)))) return nullptr;
  auto stream = std::make_unique<WasapiStream>(client, render, std::move(ready), bufferFrames, format->nSamplesPerSec,
                                               format->nChannels, *kind);
  // Silence in the whole buffer first, so the device starts with no underrun.
  if (!stream->Write(nullptr, bufferFrames) || FAILED(client->Start())) return nullptr;
  return stream;
}

}  // namespace kivora::audio
