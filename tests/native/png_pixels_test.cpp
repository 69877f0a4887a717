// The PNG decoder without the window system: the pixels it hands back, and the
// damaged or oversized files it refuses, checked under the sanitizers.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "png_builder.h"
#include "ui/png_decode.h"

namespace kivora::test {
namespace {

using ui::DecodePngPixels;

TEST(PngPixels, PremultipliedBgraRowsOfTheDeclaredSize) {
  PngImage image;
  image.width = 3;
  image.height = 2;
  image.samples = {200, 100, 50, 255, 255, 255, 255, 0, 200, 100, 50, 128,
                   0,   0,   0,  255, 1,   2,   3,   4, 9,   8,   7,  255};
  for (bool interlaced : {false, true}) {
    image.interlaced = interlaced;
    const std::optional<ui::PngPixels> decoded = DecodePngPixels(BuildPng(image));
    ASSERT_TRUE(decoded) << interlaced;
    EXPECT_EQ(decoded->width, 3);
    EXPECT_EQ(decoded->height, 2);
    EXPECT_EQ(decoded->bgra, (std::vector<unsigned char>{50, 100, 200, 255, 0, 0, 0, 0, 25, 50, 100, 128,
                                                          0,  0,   0,   255, 0, 0, 0, 4, 7,  8,  9,   255}))
        << interlaced;
  }
}

TEST(PngPixels, DamagedOrOversizedFilesAreRefused) {
  PngImage image;
  image.width = 2;
  image.height = 2;
  image.colourType = kPalette;
  image.samples = {0, 1, 1, 0};
  image.palette = {255, 0, 0, 0, 0, 255};
  image.transparency = {128};
  const Bytes good = BuildPng(image);
  ASSERT_TRUE(DecodePngPixels(good));

  std::vector<std::pair<std::string, Bytes>> inputs;
  for (size_t cut : {size_t{0}, size_t{7}, size_t{20}, good.size() / 2, good.size() - 13}) {
    inputs.push_back({"cut at " + std::to_string(cut), Bytes(good.begin(), good.begin() + cut)});
  }
  Bytes badCrc = good;
  badCrc[FindChunk(badCrc, "IHDR") + 8 + 13] ^= 0xFF;
  inputs.push_back({"IHDR CRC", badCrc});
  for (uint32_t side : {0u, static_cast<uint32_t>(ui::kMaxPngSide) + 1, 0x7FFFFFFFu}) {
    Bytes resized = good;
    SetDeclaredSize(resized, side, 2);
    inputs.push_back({"width " + std::to_string(side), resized});
  }
  for (const auto& [name, png] : inputs) EXPECT_FALSE(DecodePngPixels(png)) << name;
}

}  // namespace
}  // namespace kivora::test
