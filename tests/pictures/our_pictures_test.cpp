#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "assets/pictures.h"
#include "bitmap_pixels.h"
#include "source_files.h"
#include "ui/png_picture.h"

namespace kivora::test {
namespace {

struct ButtonPicture {
  std::string name;
  std::span<const unsigned char> (*embedded)();
  std::wstring file;
  int opaqueX, opaqueY;  // a pixel well inside the drawing
  Bgra opaqueColour;
};

void PrintTo(const ButtonPicture& picture, std::ostream* out) { *out << picture.name; }

std::vector<ButtonPicture> AllButtonPictures() {
  return {
      {"Speaker", assets::SpeakerPng, L"assets/speaker.png", 3, 10, {0x3C, 0x3C, 0x3C, 255}},
      // The centre of the red cross.
      {"SpeakerMuted", assets::SpeakerMutedPng, L"assets/speaker_muted.png", 15, 10, {0x20, 0x2A, 0xD4, 255}},
  };
}

class ButtonPictures : public testing::TestWithParam<ButtonPicture> {};

TEST_P(ButtonPictures, EmbeddedBytesAreTheCommittedFile) {
  const std::span<const unsigned char> embedded = GetParam().embedded();
  const std::vector<unsigned char> file = ReadSourceFile(GetParam().file);
  ASSERT_FALSE(file.empty()) << "cannot read the committed picture";
  EXPECT_TRUE(std::ranges::equal(embedded, file)) << "the embedded copy is stale: rebuild pictures.S";
}

TEST_P(ButtonPictures, DecodeTo20By20PremultipliedPixels) {
  const ui::PngPicture picture = ui::DecodePng(GetParam().embedded());
  ASSERT_FALSE(picture.Empty());
  ASSERT_EQ(picture.Width(), 20);
  ASSERT_EQ(picture.Height(), 20);
  const std::vector<Bgra> pixels = ReadBgra(picture.Handle(), 20, 20);
  ASSERT_EQ(pixels.size(), 400u);

  auto at = [&](int x, int y) { return pixels[y * 20 + x]; };
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{19, 0}, std::pair{0, 19}, std::pair{19, 19}}) {
    EXPECT_EQ(at(x, y), (Bgra{0, 0, 0, 0})) << "corner " << x << "," << y;
  }
  EXPECT_EQ(at(GetParam().opaqueX, GetParam().opaqueY), GetParam().opaqueColour);

  int partlyCovered = 0;
  for (const Bgra& p : pixels) {
    ASSERT_TRUE(p.b <= p.a && p.g <= p.a && p.r <= p.a) << "not premultiplied: " << p;
    if (p.a > 0 && p.a < 255) ++partlyCovered;
  }
  EXPECT_GT(partlyCovered, 0) << "the edges should be anti-aliased";
}

INSTANTIATE_TEST_SUITE_P(Speaker, ButtonPictures, testing::ValuesIn(AllButtonPictures()),
                         [](const testing::TestParamInfo<ButtonPicture>& info) { return info.param.name; });

TEST(ButtonPictures, SpeakerAndMutedSpeakerDiffer) {
  EXPECT_FALSE(std::ranges::equal(assets::SpeakerPng(), assets::SpeakerMutedPng()));
}

TEST(ButtonPictures, AnEdgePixelIsPremultipliedFromItsStoredColour) {
  // The top of the cone, (9, 3), is stored as straight #3C3C3C at alpha 114;
  // 60 * 114 / 255 = 26.8 rounds to 27.
  const ui::PngPicture picture = ui::DecodePng(assets::SpeakerPng());
  const std::vector<Bgra> pixels = ReadBgra(picture.Handle(), picture.Width(), picture.Height());
  ASSERT_EQ(pixels.size(), 400u);
  EXPECT_EQ(pixels[3 * 20 + 9], (Bgra{27, 27, 27, 114}));
}

uint16_t Little16(const std::vector<unsigned char>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

uint32_t Little32(const std::vector<unsigned char>& bytes, size_t offset) {
  return uint32_t{Little16(bytes, offset)} | uint32_t{Little16(bytes, offset + 2)} << 16;
}

struct IconDeleter {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct BitmapDeleter {
  void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

class AppIcon : public testing::Test {
 protected:
  void SetUp() override {
    file_ = ReadSourceFile(L"assets/app_icon.ico");
    ASSERT_GE(file_.size(), 6u + 16u) << "cannot read assets/app_icon.ico";
  }

  std::span<const unsigned char> Image() const {
    const uint32_t size = Little32(file_, 6 + 8);
    const uint32_t offset = Little32(file_, 6 + 12);
    if (offset > file_.size() || size > file_.size() - offset) return {};
    return std::span(file_).subspan(offset, size);
  }

  std::vector<unsigned char> file_;
};

TEST_F(AppIcon, HoldsExactlyOne128By128ImageOf32Bits) {
  EXPECT_EQ(Little16(file_, 0), 0) << "reserved";
  EXPECT_EQ(Little16(file_, 2), 1) << "type 1 is an icon";
  ASSERT_EQ(Little16(file_, 4), 1) << "image count";
  EXPECT_EQ(file_[6], 128) << "width";
  EXPECT_EQ(file_[7], 128) << "height";
  EXPECT_EQ(Little16(file_, 6 + 4), 1) << "planes";
  EXPECT_EQ(Little16(file_, 6 + 6), 32) << "bits per pixel";
  EXPECT_EQ(Little32(file_, 6 + 12), 6u + 16u) << "the image follows the directory";
  EXPECT_EQ(Little32(file_, 6 + 8) + 22u, file_.size()) << "the image runs to the end of the file";
}

TEST_F(AppIcon, BuildsAnIconWithAnAlphaChannelAtFullSize) {
  const std::span<const unsigned char> image = Image();
  ASSERT_FALSE(image.empty());
  const IconHandle icon(CreateIconFromResourceEx(const_cast<PBYTE>(image.data()), static_cast<DWORD>(image.size()),
                                                 TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR));
  ASSERT_TRUE(icon);

  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon.get(), &info));
  const BitmapHandle colour(info.hbmColor);
  const BitmapHandle mask(info.hbmMask);
  BITMAP bitmap{};
  ASSERT_TRUE(GetObjectW(colour.get(), sizeof(bitmap), &bitmap));
  EXPECT_EQ(bitmap.bmWidth, 128);
  EXPECT_EQ(bitmap.bmHeight, 128);

  const std::vector<Bgra> pixels = ReadBgra(colour.get(), 128, 128);
  ASSERT_EQ(pixels.size(), 128u * 128u);
  EXPECT_EQ(pixels[0].a, 0) << "the corner outside the rounded plate is transparent";
  EXPECT_EQ(pixels[64 * 128 + 10].a, 255) << "the plate is opaque";
  EXPECT_EQ(pixels[64 * 128 + 30], (Bgra{255, 255, 255, 255})) << "the speaker is white";
}

TEST_F(AppIcon, ScalesToTheNotificationAreaSize) {
  const std::span<const unsigned char> image = Image();
  ASSERT_FALSE(image.empty());
  const IconHandle icon(CreateIconFromResourceEx(const_cast<PBYTE>(image.data()), static_cast<DWORD>(image.size()),
                                                 TRUE, 0x00030000, 16, 16, LR_DEFAULTCOLOR));
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon.get(), &info));
  const BitmapHandle colour(info.hbmColor);
  const BitmapHandle mask(info.hbmMask);
  BITMAP bitmap{};
  ASSERT_TRUE(GetObjectW(colour.get(), sizeof(bitmap), &bitmap));
  EXPECT_EQ(bitmap.bmWidth, 16);
  EXPECT_EQ(bitmap.bmHeight, 16);
}

}  // namespace
}  // namespace kivora::test
