#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bitmap_pixels.h"
#include "support/jpeg_builder.h"
#include "ui/jpeg_picture.h"
#include "ui/picture_fit.h"

namespace kivora::test {
namespace {

using testing::EncodeJpeg;
using testing::JpegOptions;
using testing::Rgb;
using ui::DecodeJpeg;
using ui::PngPicture;

// Four flat quadrants: colours far apart, so a swapped channel or a shifted row shows.
Rgb Quadrant(int x, int y, int width, int height) {
  const bool right = x >= width / 2, bottom = y >= height / 2;
  if (!right && !bottom) return {220, 30, 30};
  if (right && !bottom) return {30, 200, 40};
  if (!right) return {20, 40, 210};
  return {240, 240, 240};
}

bool Near(const Bgra& got, Rgb want) {
  auto close = [](int a, int b) { return std::abs(a - b) <= 12; };
  return close(got.r, want.r) && close(got.g, want.g) && close(got.b, want.b) && got.a == 255;
}

struct ColourCase {
  std::string name;
  JpegOptions options;
};

class JpegKinds : public ::testing::TestWithParam<ColourCase> {};

TEST_P(JpegKinds, DecodeToOpaqueBgraInRowOrder) {
  const int width = 48, height = 32;
  const JpegOptions options = GetParam().options;
  auto source = [&](int x, int y) {
    Rgb p = Quadrant(x, y, width, height);
    if (options.greyscale) p.g = p.b = p.r;
    return p;
  };
  const PngPicture picture = DecodeJpeg(EncodeJpeg(width, height, source, options));
  ASSERT_FALSE(picture.Empty());
  ASSERT_EQ(picture.Width(), width);
  ASSERT_EQ(picture.Height(), height);
  const std::vector<Bgra> pixels = ReadBgra(picture.Handle(), width, height);
  ASSERT_EQ(pixels.size(), size_t(width * height));
  // Sample the middle of each quadrant, away from the blur of block edges.
  for (int y : {height / 4, height * 3 / 4}) {
    for (int x : {width / 4, width * 3 / 4}) {
      EXPECT_TRUE(Near(pixels[size_t(y * width + x)], source(x, y))) << x << "," << y << " " << pixels[size_t(y * width + x)];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(All, JpegKinds,
                         ::testing::Values(ColourCase{"Baseline", {}}, ColourCase{"Progressive", {false, true}},
                                           ColourCase{"Greyscale", {true, false}}),
                         [](const auto& info) { return info.param.name; });

Rgb Grey(int, int) { return {128, 128, 128}; }

// Complete files, so only the size limit can refuse them.
TEST(JpegDecode, SidesUpToTheLimitAreAcceptedAndLongerOnesRefused) {
  const int limit = ui::kMaxJpegSide;
  for (const auto& [width, height] : {std::pair{limit, 8}, std::pair{8, limit}, std::pair{limit + 1, 8},
                                      std::pair{8, limit + 1}}) {
    const PngPicture picture = DecodeJpeg(EncodeJpeg(width, height, Grey));
    const bool allowed = width <= limit && height <= limit;
    EXPECT_EQ(picture.Empty(), !allowed) << width << " x " << height;
    EXPECT_EQ(picture.Width(), allowed ? width : 0);
  }
}

TEST(JpegDecode, DamagedOrLyingInputGivesNoPicture) {
  const std::vector<unsigned char> good = EncodeJpeg(64, 64, [](int x, int y) { return Quadrant(x, y, 64, 64); });
  ASSERT_FALSE(DecodeJpeg(good).Empty());
  auto truncated = [&](size_t length) { return std::vector<unsigned char>(good.begin(), good.begin() + length); };
  auto declaring = [&](int width, int height) {
    std::vector<unsigned char> jpeg = good;
    testing::SetJpegDeclaredSize(jpeg, width, height);
    return jpeg;
  };
  const struct {
    const char* name;
    std::vector<unsigned char> bytes;
  } cases[] = {
      {"empty", {}},
      {"start marker only", truncated(3)},
      {"cut inside the headers", truncated(testing::JpegSizeFieldOffset(good) + 2)},
      {"cut in the middle of the data", truncated(good.size() / 2)},
      {"end marker missing", truncated(good.size() - 2)},
      // The scan holds 64 rows; a header claiming 4000 would have libjpeg invent the rest.
      {"header taller than the data", declaring(64, 4000)},
      {"header wider than the data", declaring(4000, 64)},
      {"header over the limit", declaring(64, ui::kMaxJpegSide + 1)},
      {"zero height", declaring(64, 0)},
      {"a PNG signature", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}},
  };
  for (const auto& c : cases) EXPECT_TRUE(DecodeJpeg(c.bytes).Empty()) << c.name;
}

TEST(PictureFit, ScalesWithTheAspectKeptAndCentres) {
  using ui::FitCentred;
  using ui::FittedRect;
  const struct {
    int pw, ph, bw, bh;
    FittedRect expected;
  } cases[] = {
      {390, 37, 390, 37, {0, 0, 390, 37}},    // the banner's own size: 1:1
      {780, 74, 390, 37, {0, 0, 390, 37}},    // twice as big, same aspect
      {20, 20, 390, 37, {176, 0, 37, 37}},    // square: full height, centred across
      {1000, 10, 390, 37, {0, 16, 390, 4}},   // wide strip: full width, centred down (3.9 rounds to 4)
      {195, 37, 390, 37, {97, 0, 195, 37}},   // half as wide: height fills, no upscaling needed
      {4096, 1, 390, 37, {0, 18, 390, 1}},    // never thinner than one pixel
      {0, 37, 390, 37, {0, 0, 0, 0}},
      {390, 37, 0, 37, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitCentred(c.pw, c.ph, c.bw, c.bh), c.expected) << c.pw << "x" << c.ph << " in " << c.bw << "x" << c.bh;
  }
}

// A banner made smaller for a picture box averages what each new pixel covers:
// nothing is dropped, as GDI's stretching drops whole columns.
TEST(PictureFit, ResamplingAveragesTheAreaEachNewPixelCovers) {
  using ui::ResampleByArea;
  const auto grey = [](std::uint32_t level) { return 0xFF000000u | level << 16 | level << 8 | level; };
  struct Case {
    const char* what;
    std::vector<std::uint32_t> pixels;
    int width, height, toWidth, toHeight;
    std::vector<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"a 2 x 2 checker halved is mid grey", {grey(0), grey(255), grey(255), grey(0)}, 2, 2, 1, 1, {grey(128)}},
      {"three to two columns share the middle one", {grey(0), grey(90), grey(180)}, 3, 1, 2, 1, {grey(30), grey(150)}},
      {"transparent and opaque white halved", {0, 0xFFFFFFFFu}, 2, 1, 1, 1, {0x80808080u}},
      {"one pixel made three repeats it", {grey(7)}, 1, 1, 3, 1, {grey(7), grey(7), grey(7)}},
      {"the same size is the same picture", {grey(1), grey(2)}, 1, 2, 1, 2, {grey(1), grey(2)}},
      {"pixels that do not match the size", {grey(1)}, 2, 1, 1, 1, {}},
      {"an empty target", {grey(1)}, 1, 1, 0, 1, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResampleByArea(c.pixels, c.width, c.height, c.toWidth, c.toHeight), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace kivora::test
