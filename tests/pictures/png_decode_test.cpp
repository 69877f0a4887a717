#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "bitmap_pixels.h"
#include "png_builder.h"
#include "ui/png_picture.h"

namespace kivora::test {
namespace {

using ui::DecodePng;
using ui::PngPicture;

// Reference colours used across the cases. Straight (200, 100, 50) at alpha 128
// premultiplies to (100, 50, 25); a transparent pixel must come out all zero
// even when its stored colour is white.
constexpr Bgra kOrange{50, 100, 200, 255};
constexpr Bgra kHalfOrange{25, 50, 100, 128};
constexpr Bgra kClear{0, 0, 0, 0};
constexpr Bgra kWhite{255, 255, 255, 255};
constexpr Bgra kBlack{0, 0, 0, 255};

std::vector<Bgra> DecodeToPixels(const Bytes& png) {
  const PngPicture picture = DecodePng(png);
  if (picture.Empty()) return {};
  return ReadBgra(picture.Handle(), picture.Width(), picture.Height());
}

struct ColourCase {
  std::string name;
  PngImage image;  // one row; width is the number of expected pixels
  std::vector<Bgra> expected;
};

void PrintTo(const ColourCase& c, std::ostream* out) { *out << c.name; }

PngImage Row(uint8_t colourType, uint8_t bitDepth, std::vector<uint16_t> samples, Bytes palette = {},
             Bytes transparency = {}) {
  PngImage image;
  image.colourType = colourType;
  image.bitDepth = bitDepth;
  image.samples = std::move(samples);
  image.palette = std::move(palette);
  image.transparency = std::move(transparency);
  return image;
}

std::vector<ColourCase> ColourCases() {
  const Bytes fourColours = {200, 100, 50, 255, 255, 255, 200, 100, 50, 10, 20, 30};
  std::vector<ColourCase> cases = {
      {"Rgba8", Row(kRgba, 8, {200, 100, 50, 255, 255, 255, 255, 0, 200, 100, 50, 128}),
       {kOrange, kClear, kHalfOrange}},
      {"Rgb8", Row(kRgb, 8, {200, 100, 50, 10, 20, 30}), {kOrange, {30, 20, 10, 255}}},
      {"Rgb8WithTransparentColour", Row(kRgb, 8, {200, 100, 50, 10, 20, 30}, {}, {0, 10, 0, 20, 0, 30}),
       {kOrange, kClear}},
      // 16-bit samples have different high and low bytes, so a wrong byte order shows.
      {"Rgba16", Row(kRgba, 16, {0xC8D0, 0x6470, 0x3240, 0x8090, 0xFFFF, 0xFFFF, 0xFFFF, 0}), {kHalfOrange, kClear}},
      {"Rgb16WithTransparentColour",
       Row(kRgb, 16, {0xC8D0, 0x6470, 0x3240, 0x0102, 0x0304, 0x0506}, {}, {1, 2, 3, 4, 5, 6}), {kOrange, kClear}},
      // Nine pixels cross a byte boundary in the packed row.
      {"Grey1", Row(kGrey, 1, {0, 1, 1, 0, 1, 0, 0, 1, 1}),
       {kBlack, kWhite, kWhite, kBlack, kWhite, kBlack, kBlack, kWhite, kWhite}},
      {"Grey4WithTransparentLevel", Row(kGrey, 4, {0, 5, 15}, {}, {0, 5}), {kBlack, kClear, kWhite}},
      {"Grey8", Row(kGrey, 8, {0x40, 0xFF}), {{0x40, 0x40, 0x40, 255}, kWhite}},
      {"GreyAlpha8", Row(kGreyAlpha, 8, {100, 128, 200, 0, 50, 255}),
       {{50, 50, 50, 128}, kClear, {50, 50, 50, 255}}},
      {"GreyAlpha16", Row(kGreyAlpha, 16, {0xC8D0, 0x8090, 0xFFFF, 0xFFFF}), {{100, 100, 100, 128}, kWhite}},
      // tRNS shorter than the palette: entries past its end are opaque.
      {"Palette2WithShortTransparency", Row(kPalette, 2, {0, 1, 2, 3}, fourColours, {255, 0, 128}),
       {kOrange, kClear, kHalfOrange, {30, 20, 10, 255}}},
      {"Palette8", Row(kPalette, 8, {3, 0}, fourColours), {{30, 20, 10, 255}, kOrange}},
  };
  for (ColourCase& c : cases) {
    c.image.width = static_cast<uint32_t>(c.expected.size());
    c.image.height = 1;
  }
  return cases;
}

class PngColourTypes : public testing::TestWithParam<ColourCase> {};

TEST_P(PngColourTypes, DecodeToPremultipliedBgra) {
  const ColourCase& c = GetParam();
  EXPECT_EQ(DecodeToPixels(BuildPng(c.image)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, PngColourTypes, testing::ValuesIn(ColourCases()),
                         [](const testing::TestParamInfo<ColourCase>& info) { return info.param.name; });

// Opaque pixels that all differ while the picture has fewer than 256 of them.
PngImage Gradient(uint32_t width, uint32_t height) {
  PngImage image;
  image.width = width;
  image.height = height;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const auto blue = uint16_t((x + y * width) & 0xFF);
      image.samples.insert(image.samples.end(), {uint16_t(x * 12), uint16_t(y * 12), blue, 255});
    }
  }
  return image;
}

std::vector<Bgra> GradientPixels(uint32_t width, uint32_t height) {
  std::vector<Bgra> pixels;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      pixels.push_back({uint8_t(x + y * width), uint8_t(y * 12), uint8_t(x * 12), 255});
    }
  }
  return pixels;
}

TEST(PngDecode, InterlacedAndPlainFilesGiveTheSamePixelsInRowOrder) {
  // Big enough that all seven Adam7 passes hold pixels.
  PngImage image = Gradient(11, 10);
  const std::vector<Bgra> expected = GradientPixels(11, 10);
  EXPECT_EQ(DecodeToPixels(BuildPng(image)), expected);
  image.interlaced = true;
  EXPECT_EQ(DecodeToPixels(BuildPng(image)), expected);
}

TEST(PngDecode, MakesATopDown32BitDibSectionOfTheDeclaredSize) {
  const PngPicture picture = DecodePng(BuildPng(Gradient(7, 3)));
  ASSERT_FALSE(picture.Empty());
  EXPECT_EQ(picture.Width(), 7);
  EXPECT_EQ(picture.Height(), 3);

  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(picture.Handle(), sizeof(dib), &dib), int{sizeof(dib)});
  EXPECT_EQ(dib.dsBmih.biWidth, 7);
  EXPECT_EQ(dib.dsBmih.biBitCount, 32);
  ASSERT_NE(dib.dsBm.bmBits, nullptr);
  // GDI reports a positive height even for top-down sections, so the order is
  // checked in memory: the first row is the picture's top row.
  const auto* bits = static_cast<const unsigned char*>(dib.dsBm.bmBits);
  EXPECT_EQ((Bgra{bits[4], bits[5], bits[6], bits[7]}), (Bgra{1, 0, 12, 255}));
}

// Pictures complete in every other way, so only the size limit can refuse them.
TEST(PngDecode, SidesUpToTheLimitAreAcceptedAndLongerOnesRefused) {
  const int limit = ui::kMaxPngSide;
  for (const auto& [width, height] : {std::pair{limit, 1}, std::pair{1, limit}, std::pair{limit + 1, 1},
                                      std::pair{1, limit + 1}}) {
    PngImage image;
    image.colourType = kGrey;
    image.width = width;
    image.height = height;
    image.samples.assign(size_t(width) * height, 0x80);
    const PngPicture picture = DecodePng(BuildPng(image));
    const bool allowed = width <= limit && height <= limit;
    EXPECT_EQ(picture.Empty(), !allowed) << width << " x " << height;
    EXPECT_EQ(picture.Width(), allowed ? width : 0);
    EXPECT_EQ(picture.Height(), allowed ? height : 0);
  }
}

struct BadInput {
  std::string name;
  Bytes bytes;
};

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.name; }

std::vector<BadInput> BadInputs(const Bytes& good) {
  const size_t idat = FindChunk(good, "IDAT");
  const size_t iend = FindChunk(good, "IEND");
  auto truncated = [&](size_t length) { return Bytes(good.begin(), good.begin() + length); };
  auto withSize = [&](uint32_t width, uint32_t height) {
    Bytes png = good;
    SetDeclaredSize(png, width, height);
    return png;
  };

  std::vector<BadInput> inputs = {
      {"Empty", {}},
      {"NotAPng", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"HalfASignature", truncated(4)},
      {"SignatureOnly", truncated(8)},
      {"CutInsideIhdr", truncated(20)},
      {"CutBeforeImageData", truncated(idat)},
      {"CutInsideImageData", truncated(idat + 8 + (iend - idat) / 2)},
      {"CutBeforeEnd", truncated(iend)},
      {"LastByteMissing", truncated(good.size() - 1)},
      {"ZeroWidth", withSize(0, 20)},
      {"ZeroHeight", withSize(20, 0)},
      {"DeclaredTooWide", withSize(ui::kMaxPngSide + 1, 20)},
      {"DeclaredTooTall", withSize(20, ui::kMaxPngSide + 1)},
      {"Absurd", withSize(0x7FFFFFFF, 0x7FFFFFFF)},
      {"BeyondTheFormatsLimit", withSize(0x80000000u, 1)},
  };

  Bytes badCrc = good;
  badCrc[FindChunk(badCrc, "IHDR") + 8 + 13] ^= 0xFF;
  inputs.push_back({"IhdrCrcWrong", badCrc});

  // Image data that zlib cannot inflate (scrambled past its two-byte header)
  // under a correct chunk CRC.
  Bytes corrupt = good;
  const size_t idatData = idat + 8;
  const size_t idatLength = iend - idat - 12;
  for (size_t i = idatData + 2; i < idatData + 2 + idatLength / 2; ++i) corrupt[i] ^= 0x5A;
  FixChunkCrc(corrupt, idat);
  inputs.push_back({"ImageDataNotDeflate", corrupt});

  // A whole file for 20 x 10 pixels claiming to hold 20 x 20.
  Bytes tooLittle = BuildPng(Gradient(20, 10));
  SetDeclaredSize(tooLittle, 20, 20);
  inputs.push_back({"TooLittleImageData", tooLittle});

  // A palette picture without its palette.
  PngImage paletted;
  paletted.width = 2;
  paletted.height = 1;
  paletted.colourType = kPalette;
  paletted.samples = {0, 0};
  inputs.push_back({"PaletteMissing", BuildPng(paletted)});
  return inputs;
}

class PngBadInputs : public testing::TestWithParam<BadInput> {};

TEST_P(PngBadInputs, GiveAnEmptyPicture) {
  const PngPicture picture = DecodePng(GetParam().bytes);
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(picture.Handle(), nullptr);
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.Height(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rejected, PngBadInputs, testing::ValuesIn(BadInputs(BuildPng(Gradient(20, 20)))),
                         [](const testing::TestParamInfo<BadInput>& info) { return info.param.name; });

// Some damage shows only after the bitmap exists. Each such failure must delete
// it: 40,000 leaked bitmaps are more than a process can hold (Windows allows
// 10,000 GDI handles; under Wine each DIB section also reserves 64 KB of the
// 2 GB address space), so a leak leaves no room for the next good picture.
TEST(PngDecode, FailuresAfterTheBitmapExistsDeleteIt) {
  const Bytes good = BuildPng(Gradient(4, 4));
  std::vector<BadInput> lateFailures;
  for (BadInput& input : BadInputs(good)) {
    if (input.name == "CutInsideImageData" || input.name == "CutBeforeEnd" || input.name == "LastByteMissing" ||
        input.name == "ImageDataNotDeflate" || input.name == "TooLittleImageData") {
      lateFailures.push_back(std::move(input));
    }
  }
  ASSERT_EQ(lateFailures.size(), 5u);
  for (int round = 0; round < 8000; ++round) {
    for (const BadInput& input : lateFailures) ASSERT_TRUE(DecodePng(input.bytes).Empty()) << input.name;
  }
  EXPECT_FALSE(DecodePng(good).Empty());
}

TEST(PngPicture, OwnershipMovesAndTheBitmapIsDeletedOnce) {
  const Bytes png = BuildPng(Gradient(4, 4));
  PngPicture first = DecodePng(png);
  const HBITMAP bitmap = first.Handle();
  ASSERT_NE(bitmap, nullptr);

  PngPicture second = std::move(first);
  EXPECT_TRUE(first.Empty());
  EXPECT_EQ(first.Width(), 0);
  EXPECT_EQ(second.Handle(), bitmap);
  EXPECT_EQ(second.Width(), 4);

  PngPicture third = DecodePng(png);
  const HBITMAP replaced = third.Handle();
  third = std::move(second);
  EXPECT_EQ(third.Handle(), bitmap);
  EXPECT_EQ(GetObjectType(replaced), 0u) << "the bitmap a move replaced must be deleted";

  {
    PngPicture last = std::move(third);
  }
  EXPECT_EQ(GetObjectType(bitmap), 0u) << "destruction must delete the bitmap";
}

TEST(PngPicture, ReleaseHandsTheBitmapOver) {
  PngPicture picture = DecodePng(BuildPng(Gradient(2, 2)));
  const HBITMAP bitmap = picture.Release();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(GetObjectType(bitmap), DWORD{OBJ_BITMAP});
  DeleteObject(bitmap);
}

}  // namespace
}  // namespace kivora::test
