// The microphone's path to the broadcast: the delay the ring between the two
// clocks adds (capture to sound, less both devices' own buffers), median and
// 99th percentile, on scripted clocks 500 ppm apart with a period of jitter on
// each side, over 4 simulated hours; and what the path costs while the
// microphone runs and nothing else plays: the capture side's writes and the
// output side's reads with gain, as a share of one core.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "audio/dsp/clock_bridge.h"
#include "stopwatch.h"
#include "support/scripted_clocks.h"

namespace {

using kivora::audio::ClockBridge;

double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto seconds = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

}  // namespace

int wmain() {
  kivora::testing::ClockScript script;
  script.seconds = 4 * 3600.0;
  script.channels = 1;  // the delay does not depend on the channels; hours go twice as fast
  script.captureDrift = 500e-6;
  script.captureJitter = script.renderJitter = 0.010;
  const kivora::testing::ClockRun run = kivora::testing::RunScriptedClocks(script, kivora::testing::HeldConfigFor(script));
  std::printf("added latency over %.0f simulated hours (500 ppm, 10 ms of jitter each side): median %.2f ms, p99 %.2f ms, max %.2f ms\n",
              script.seconds / 3600, run.Percentile(0.5), run.Percentile(0.99), run.Percentile(1.0));
  std::printf("  fill within %.3f ms of its target; %llu silent frames, %llu repeated blocks, correction %.1f ppm\n",
              run.worstFillErrorMs, static_cast<unsigned long long>(run.stats.silentFrames),
              static_cast<unsigned long long>(run.repeatedBlocks), run.stats.correction * 1e6);

  // The path's own work for a minute of stereo at 48 kHz: 10 ms packets written,
  // 10 ms blocks read and scaled into a mix, as the two device threads do.
  ClockBridge::Config config;
  config.targetSeconds = ClockBridge::HeldTarget(0.010, 0.020, 48000);
  auto bridge = ClockBridge::Create(config);
  std::vector<float> packet(480 * 2, 0.1f), out(480 * 2), mix(480 * 2);
  const double cpuBefore = ThreadCpuSeconds();
  const double wallBefore = kivora::bench::NowMs();
  const int blocks = 60 * 100;
  for (int block = 0; block < blocks; ++block) {
    const double time = block * 0.010;
    bridge->Write(packet, time);
    bridge->Read(out.data(), 480, time + config.targetSeconds);
    for (size_t i = 0; i < mix.size(); ++i) mix[i] += 0.5f * out[i];
  }
  const double cpu = ThreadCpuSeconds() - cpuBefore;
  const double wall = (kivora::bench::NowMs() - wallBefore) / 1000;
  std::printf("CPU for 60 s of stereo at 48 kHz: %.1f ms of thread time (%.1f ms wall): %.3f %% of one core\n", cpu * 1e3,
              wall * 1e3, 100 * cpu / 60);
  return 0;
}
