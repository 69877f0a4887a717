#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "decor/banner_body.h"

namespace kivora {
namespace {

TEST(ReadChunkSize, FollowsTheAnnouncedLengthUpToTheLargestChunk) {
  const struct {
    std::int64_t length;
    bool announced;
    size_t expected;
  } cases[] = {
      {0, false, 10240},        {1234, false, 10240},       {0, true, 10240},
      {-5, true, 10240},        {1, true, 2},               {36000, true, 36001},
      {102399, true, 102400},   {102400, true, 102400},     {INT64_MAX, true, 102400},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadChunkSize(c.length, c.announced), c.expected) << c.length << (c.announced ? " announced" : "");
  }
}

TEST(BodyCollector, KeepsABodyUpToTheCapAndRefusesOneBeyondIt) {
  const std::vector<unsigned char> chunk(4, 0xAB);
  BodyCollector exact(8);
  EXPECT_TRUE(exact.Append(chunk));
  EXPECT_TRUE(exact.Append(chunk));
  EXPECT_EQ(exact.Take(), std::vector<unsigned char>(8, 0xAB));

  BodyCollector over(8);
  EXPECT_TRUE(over.Append(chunk));
  EXPECT_TRUE(over.Append(std::vector<unsigned char>(3, 1)));
  EXPECT_FALSE(over.Append(std::vector<unsigned char>(2, 1)));  // 9 bytes: one too many
  EXPECT_TRUE(over.Refused());
  // Once refused, later small chunks cannot sneak a partial body through.
  EXPECT_FALSE(over.Append(std::vector<unsigned char>(1, 1)));
  EXPECT_TRUE(over.Take().empty());
}

}  // namespace
}  // namespace kivora
