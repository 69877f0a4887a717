// The rate converter against its goals, for each clip rate into each device
// rate: the pass band's worst deviation up to 0.9 of the lower Nyquist
// frequency, the strongest image or alias that any tone leaves between 0 and
// 20 kHz (relative to the tone), and the cost of a second of stereo audio.
//   resampler_quality.exe
// Measured with tones through the converter and a Kaiser-windowed FFT of the
// output (side lobes far below the -90 dB it looks for).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

#include "audio/dsp/conversion_filter.h"
#include "audio/dsp/resampler.h"

namespace {

using kivora::audio::Resampler;

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kFftSize = 32768;
constexpr double kWindowBeta = 20.0;
constexpr int kLobeBins = 24;  // the tone's own main lobe, beside which nothing is counted

const std::vector<double>& AnalysisWindow() {
  static const std::vector<double> window = [] {
    std::vector<double> w(kFftSize);
    // Sampled at the centres of kFftSize equal parts of -1..1.
    for (size_t i = 0; i < kFftSize; ++i) w[i] = kivora::audio::KaiserWindow((2.0 * i + 1) / kFftSize - 1.0, kWindowBeta);
    return w;
  }();
  return window;
}

// In-place radix-2 FFT.
void Fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * kPi / static_cast<double>(len));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w = 1;
      for (size_t k = 0; k < len / 2; ++k, w *= step) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
    }
  }
}

// kFftSize output frames of a tone of amplitude 1 at frequency through the
// converter, from well past the filter's start.
std::vector<float> ToneThrough(unsigned inRate, unsigned outRate, double frequency) {
  auto resampler = Resampler::Create(inRate, outRate, 1);
  const size_t skip = 8192;
  const size_t inputFrames = static_cast<size_t>(static_cast<double>(kFftSize + skip) * inRate / outRate) + 8192;
  std::vector<float> input(inputFrames);
  for (size_t i = 0; i < inputFrames; ++i) input[i] = static_cast<float>(std::sin(2 * kPi * frequency * i / inRate));
  resampler->Push(input);
  std::vector<float> output(kFftSize + skip);
  output.resize(resampler->Pull(output.data(), output.size()));
  return std::vector<float>(output.end() - kFftSize, output.end());
}

// Amplitude spectrum (amplitude 1 reads 1) of the windowed frames.
std::vector<double> Spectrum(const std::vector<float>& frames) {
  const std::vector<double>& window = AnalysisWindow();
  double windowSum = 0;
  std::vector<std::complex<double>> bins(kFftSize);
  for (size_t i = 0; i < kFftSize; ++i) {
    bins[i] = frames[i] * window[i];
    windowSum += window[i];
  }
  Fft(bins);
  std::vector<double> amplitude(kFftSize / 2);
  for (size_t i = 0; i < amplitude.size(); ++i) amplitude[i] = 2 * std::abs(bins[i]) / windowSum;
  return amplitude;
}

double Db(double amplitude) { return 20 * std::log10(std::max(amplitude, 1e-20)); }

struct Figures {
  double ripple = 0;          // dB, the largest deviation in the pass band
  double worstSpur = -400;    // dBc
  double worstSpurTone = 0;   // Hz, the input tone that made it
  double worstSpurAt = 0;     // Hz, where it lies in the output
  double stereoMicroseconds = 0;
};

void MeasurePassBand(unsigned inRate, unsigned outRate, Figures& figures) {
  const double edge = 0.9 * 0.5 * std::min(inRate, outRate);
  for (int i = 0; i <= 60; ++i) {
    const double frequency = 100 + (edge - 100) * i / 60;
    // The tone lies between bins: its level is read by a DFT of that one frequency.
    const std::vector<float> frames = ToneThrough(inRate, outRate, frequency);
    const std::vector<double>& window = AnalysisWindow();
    std::complex<double> sum = 0;
    double windowSum = 0;
    for (size_t n = 0; n < kFftSize; ++n) {
      sum += frames[n] * window[n] * std::polar(1.0, -2 * kPi * frequency * n / outRate);
      windowSum += window[n];
    }
    figures.ripple = std::max(figures.ripple, std::abs(Db(2 * std::abs(sum) / windowSum)));
  }
}

void MeasureSpurs(unsigned inRate, unsigned outRate, Figures& figures) {
  const double lowerNyquist = 0.5 * std::min(inRate, outRate);
  std::vector<double> tones;
  for (int i = 1; i < 160; ++i) tones.push_back(0.5 * inRate * i / 160);
  // Densely about the band edge, where the filter is steepest.
  for (int i = 0; i <= 40; ++i) tones.push_back(lowerNyquist * (0.85 + 0.3 * i / 40));
  for (double tone : tones) {
    if (tone >= 0.5 * inRate) continue;
    const std::vector<double> amplitude = Spectrum(ToneThrough(inRate, outRate, tone));
    const double toneBin = tone < 0.5 * outRate ? tone * kFftSize / outRate : -1e9;
    const size_t lastBin = std::min(amplitude.size() - 1, static_cast<size_t>(20000.0 * kFftSize / outRate));
    for (size_t bin = 1; bin <= lastBin; ++bin) {
      if (std::abs(static_cast<double>(bin) - toneBin) <= kLobeBins) continue;
      const double level = Db(amplitude[bin]);
      if (level > figures.worstSpur) {
        figures.worstSpur = level;
        figures.worstSpurTone = tone;
        figures.worstSpurAt = static_cast<double>(bin) * outRate / kFftSize;
      }
    }
  }
}

// Microseconds to convert one second of stereo audio, pushed in engine-sized blocks.
void MeasureCost(unsigned inRate, unsigned outRate, Figures& figures) {
  constexpr int kSeconds = 10;
  constexpr size_t kBlock = 4096;
  std::vector<float> block(kBlock * 2);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<float>(std::sin(0.001 * i * i));
  std::vector<float> out(kBlock * 2 * 200);
  auto resampler = Resampler::Create(inRate, outRate, 2);
  const auto start = std::chrono::steady_clock::now();
  for (size_t pushed = 0; pushed < static_cast<size_t>(kSeconds) * inRate; pushed += kBlock) {
    resampler->Push(block);
    while (resampler->Pull(out.data(), out.size() / 2) > 0) {
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  figures.stereoMicroseconds = std::chrono::duration<double, std::micro>(elapsed).count() / kSeconds;
}

struct RatePair {
  unsigned in, out;
};

Figures Measure(RatePair rates) {
  Figures figures;
  MeasurePassBand(rates.in, rates.out, figures);
  MeasureSpurs(rates.in, rates.out, figures);
  MeasureCost(rates.in, rates.out, figures);
  return figures;
}

void Print(RatePair rates, const Figures& figures, const char* note) {
  std::printf("%6u -> %-6u %12.4f %12.1f %10.0f -> %-10.0f %14.0f%s\n", rates.in, rates.out, figures.ripple,
              figures.worstSpur, figures.worstSpurTone, figures.worstSpurAt, figures.stereoMicroseconds, note);
  std::fflush(stdout);
}

int Run() {
  const unsigned clipRates[] = {8000, 22050, 32000, 44100, 96000};
  const unsigned deviceRates[] = {44100, 48000};
  std::printf("%-16s %12s %12s %22s %14s\n", "rates (Hz)", "ripple (dB)", "worst (dBc)", "tone -> spur (Hz)", "stereo us/s");
  int failures = 0;
  for (unsigned outRate : deviceRates) {
    for (unsigned inRate : clipRates) {
      if (inRate == outRate) continue;
      const Figures figures = Measure({inRate, outRate});
      const bool met = figures.ripple <= 0.1 && figures.worstSpur <= -90;
      failures += met ? 0 : 1;
      Print({inRate, outRate}, figures, met ? "" : "  (goal missed)");
    }
  }
  // A ratio that reduces to thousands of phases, converted with blended rows.
  Print({44056, 48000}, Measure({44056, 48000}), "  (rows blended)");
  std::printf("goals: ripple <= 0.1 dB up to 0.9 of the lower Nyquist, images and aliases <= -90 dBc over 0-20 kHz\n");
  return failures == 0 ? 0 : 1;
}

}  // namespace

#ifdef _WIN32
int wmain() { return Run(); }
#else
int main() { return Run(); }
#endif
