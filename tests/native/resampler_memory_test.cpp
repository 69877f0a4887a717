// The rate converter's memory, watched through the sanitizer's allocator (this
// process runs no engine that could hold tables of its own): filter tables are
// shared per ratio and freed with their last user, and steady conversion
// allocates nothing, as the render thread needs.
#include <gtest/gtest.h>
#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "audio/dsp/resampler.h"

namespace kivora::audio {
namespace {

thread_local bool counting = false;
std::atomic<size_t> allocations{0};

void OnAllocation(const volatile void*, size_t) {
  if (counting) allocations.fetch_add(1);
}
void OnRelease(const volatile void*) {}

// Allocations made by this thread while it lives.
class AllocationCount {
 public:
  AllocationCount() {
    static const int installed = __sanitizer_install_malloc_and_free_hooks(OnAllocation, OnRelease);
    (void)installed;
    allocations.store(0);
    counting = true;
  }
  ~AllocationCount() { counting = false; }
  size_t Made() const { return allocations.load(); }
};

TEST(ResamplerMemory, SharesATablePerRatioAndFreesItWithItsLastUser) {
  EXPECT_EQ(Resampler::SharedTableBytes(), 0u);
  auto first = Resampler::Create(11111, 12345, 2);
  const size_t one = Resampler::SharedTableBytes();
  EXPECT_GT(one, 0u);
  auto sameRatio = Resampler::Create(22222, 24690, 1);
  EXPECT_EQ(Resampler::SharedTableBytes(), one) << "the same ratio at other rates shares the table";
  first.reset();
  EXPECT_EQ(Resampler::SharedTableBytes(), one) << "still in use";
  sameRatio.reset();
  EXPECT_EQ(Resampler::SharedTableBytes(), 0u);

  // Two hundred clip rates, one after another, each played through: nothing
  // is left behind, and no one table is large.
  std::vector<float> block(2 * 4096, 0.25f);
  std::vector<float> out(2 * 4096);
  for (unsigned rate = 7001; rate < 7001 + 200 * 1877; rate += 1877) {
    auto resampler = Resampler::Create(rate, 48000, 2);
    ASSERT_NE(resampler, nullptr) << rate;
    resampler->Push(block);
    resampler->Finish();
    while (resampler->Pull(out.data(), 4096) > 0) {
    }
    EXPECT_LE(Resampler::SharedTableBytes(), size_t{1} << 21) << rate;
  }
  EXPECT_EQ(Resampler::SharedTableBytes(), 0u);
}

TEST(ResamplerMemory, SteadyConversionAllocatesNothing) {
  // As a voice does: pull until nothing is ready, then push a block of at most
  // 4096 frames; at the end, finish and pull the rest.
  struct Case {
    unsigned in, out, channels;
  } cases[] = {{44100, 48000, 2}, {8000, 44100, 1}, {96000, 48000, 2}, {44100, 44099, 2}, {384000, 8000, 1}, {22050, 48000, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.in << " -> " << c.out << ", " << c.channels << " channels");
    auto resampler = Resampler::Create(c.in, c.out, c.channels);
    std::vector<float> block(Resampler::kSteadyPushFrames * c.channels);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)));
    std::vector<float> out(1024 * c.channels);
    size_t made = 0;
    {
      AllocationCount count;
      for (int round = 0; round < 100; ++round) {
        while (resampler->Pull(out.data(), 1024) > 0) {
        }
        // Blocks of varying size, as a decoder gives them.
        resampler->Push(std::span(block).first((Resampler::kSteadyPushFrames - round * 37 % 1000) * c.channels));
      }
      resampler->Finish();
      while (resampler->Pull(out.data(), 1024) > 0) {
      }
      made = count.Made();
    }
    EXPECT_EQ(made, 0u);
  }
}

}  // namespace
}  // namespace kivora::audio
