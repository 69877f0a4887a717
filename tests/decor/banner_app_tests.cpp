// The banner in the running program: served by a loopback server, read back from
// the picture box's own drawing; the presses on it, the links and the About box.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "decor/links.h"
#include "png_builder.h"
#include "support/app_fixture.h"
#include "support/jpeg_builder.h"
#include "support/loopback_http_server.h"
#include "ui/dib_section.h"
#include "ui/layout.h"
#include "ui/popup_menu.h"

namespace kivora {
namespace {

using testing::AppFixture;
using testing::HttpReply;
using testing::LoopbackHttpServer;
using testing::Reply;
using testing::Rgb;

constexpr int kBoxWidth = 390;
constexpr int kBoxHeight = 37;

// Points the next App's banner at `address` for the life of this object.
class BannerAddressOverride {
 public:
  explicit BannerAddressOverride(const std::wstring& address) {
    SetEnvironmentVariableW(kBannerAddressVariable, address.c_str());
  }
  ~BannerAddressOverride() { SetEnvironmentVariableW(kBannerAddressVariable, nullptr); }
};

// Pumps messages until the banner fetch has handed over its body (or 10 s pass).
bool WaitForBanner(AppFixture& fixture) {
  const ULONGLONG end = GetTickCount64() + 10000;
  while (fixture.app().Banner().Pending() && GetTickCount64() < end) {
    AppFixture::Pump();
    Sleep(5);
  }
  AppFixture::Pump();
  return !fixture.app().Banner().Pending();
}

// The box as it draws itself (WM_PRINTCLIENT), top-down 0xAARRGGBB-ordered pixels.
std::vector<Rgb> BoxPixels(HWND box) {
  void* bits = nullptr;
  HBITMAP bitmap = ui::CreateTopDownDib(kBoxWidth, kBoxHeight, &bits);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  SendMessageW(box, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  GdiFlush();
  std::vector<Rgb> pixels;
  const auto* bgra = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < kBoxWidth * kBoxHeight; ++i) pixels.push_back({bgra[i * 4 + 2], bgra[i * 4 + 1], bgra[i * 4]});
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return pixels;
}

struct Probe {
  int x, y;
  Rgb expected;
};

std::string Describe(Rgb p) {
  return "(" + std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b) + ")";
}

void ExpectPixels(const std::vector<Rgb>& pixels, const std::vector<Probe>& probes, const char* name) {
  for (const Probe& probe : probes) {
    const Rgb got = pixels[size_t(probe.y * kBoxWidth + probe.x)];
    auto close = [](int a, int b) { return std::abs(a - b) <= 12; };
    EXPECT_TRUE(close(got.r, probe.expected.r) && close(got.g, probe.expected.g) && close(got.b, probe.expected.b))
        << name << " at " << probe.x << "," << probe.y << ": " << Describe(got) << " expected "
        << Describe(probe.expected);
  }
}

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{220, 30, 30};
constexpr Rgb kBlue{20, 40, 210};
constexpr Rgb kGreen{30, 200, 40};

std::string AsString(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string HalvesJpeg() {
  return AsString(testing::EncodeJpeg(kBoxWidth, kBoxHeight, [](int x, int) { return x < kBoxWidth / 2 ? kRed : kBlue; }));
}

// Orange in three strips: opaque, half transparent, fully transparent.
std::string StripsPng() {
  test::PngImage image;
  image.width = kBoxWidth;
  image.height = kBoxHeight;
  for (int y = 0; y < kBoxHeight; ++y) {
    for (int x = 0; x < kBoxWidth; ++x) {
      const uint16_t alpha = x < 130 ? 255 : (x < 260 ? 128 : 0);
      image.samples.insert(image.samples.end(), {200, 100, 50, alpha});
    }
  }
  return AsString(test::BuildPng(image));
}

TEST(Banner, ServedPicturesAreShownFittedAndAnythingElseLeavesTheBoxWhite) {
  const std::vector<Probe> empty = {{5, 5, kWhite}, {195, 18, kWhite}, {385, 30, kWhite}};
  const struct {
    const char* name;
    HttpReply reply;
    std::vector<Probe> probes;
  } cases[] = {
      {"jpeg of the box's size", Reply("200 OK", "image/jpeg", HalvesJpeg()), {{40, 18, kRed}, {350, 18, kBlue}}},
      {"jpeg without a length", Reply("200 OK", "image/jpeg", HalvesJpeg(), false), {{40, 18, kRed}, {350, 18, kBlue}}},
      // A square picture is scaled to the box's height and centred: white on both sides.
      {"square jpeg",
       Reply("200 OK", "image/jpeg", AsString(testing::EncodeJpeg(100, 100, [](int, int) { return kGreen; }))),
       {{100, 18, kWhite}, {195, 18, kGreen}, {300, 18, kWhite}}},
      // The picture's own alpha is laid over the box's white background.
      {"png with alpha", Reply("200 OK", "image/png", StripsPng()),
       {{60, 18, {200, 100, 50}}, {195, 18, {227, 177, 152}}, {330, 18, kWhite}}},
      {"html error page", Reply("404 Not Found", "text/html", "<html><body>Not found</body></html>"), empty},
      {"truncated jpeg", Reply("200 OK", "image/jpeg", HalvesJpeg().substr(0, 400)), empty},
  };
  for (const auto& c : cases) {
    LoopbackHttpServer server(c.reply);
    BannerAddressOverride address(server.Address());
    AppFixture fixture;
    ASSERT_TRUE(WaitForBanner(fixture)) << c.name;
    ExpectPixels(BoxPixels(fixture.control(L"图片框1").Handle()), c.probes, c.name);
  }
}

TEST(Banner, AWindowClosedWhileTheServerIsSilentIsNeverTouched) {
  std::optional<LoopbackHttpServer> server(testing::Silence());
  BannerAddressOverride address(server->Address());
  {
    AppFixture fixture;
    // The window is up and usable while the fetch still waits.
    EXPECT_TRUE(IsWindowVisible(fixture.hwnd()));
    EXPECT_TRUE(fixture.app().Banner().Pending());
    fixture.Click(L"按钮63");
    EXPECT_FALSE(fixture.audio.calls.empty());
  }
  // The worker now gets its answer (the connection closes) after the window is gone.
  server.reset();
  Sleep(300);
  AppFixture::Pump();
  AppFixture again;
  EXPECT_TRUE(again.window().As<ui::PictureBox>(L"图片框1").Image().Empty());
}

TEST(Links, BannerPressesTheLabelAndTheMenuOpenTheirAddresses) {
  AppFixture fixture;
  fixture.Click(L"图片框1");
  fixture.Click(L"超级链接框2");
  fixture.window().ChooseMenuItem(static_cast<int>(ui::MenuItem::SponsorAuthor));
  EXPECT_EQ(fixture.web.opened, (std::vector<std::wstring>{std::wstring(kSponsorPageAddress),
                                                            std::wstring(ui::kShortLinkAddress),
                                                            std::wstring(ui::kShortLinkAddress)}));
  EXPECT_TRUE(kSponsorPageAddress.starts_with(L"http://"));
  EXPECT_TRUE(ui::kShortLinkAddress.starts_with(L"https://"));
}

bool g_menuSeen = false;

// Runs inside the menu's modal loop: notes that the menu is open and closes it.
void CALLBACK CloseOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND menu = FindWindowW(L"#32768", nullptr);
  if (!menu || !IsWindowVisible(menu)) return;
  g_menuSeen = true;
  KillTimer(nullptr, timer);
  EndMenu();
}

TEST(Links, ARightPressOnTheBannerOpensTheMenuAndNotThePage) {
  AppFixture fixture;
  g_menuSeen = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseOpenMenu);
  fixture.RightPress(L"图片框1");
  KillTimer(nullptr, timer);
  EXPECT_TRUE(g_menuSeen);
  EXPECT_TRUE(fixture.web.opened.empty());
}

TEST(About, ShowsThreeLabelledLinesInAPlainTaskModalOkBox) {
  AppFixture fixture;
  fixture.window().ChooseMenuItem(static_cast<int>(ui::MenuItem::AboutProgram));
  ASSERT_EQ(fixture.prompts.shown.size(), 1u);
  const testing::ShownPrompt& box = fixture.prompts.shown[0];
  EXPECT_EQ(box.caption, L"关于");
  EXPECT_EQ(box.type, UINT{MB_OK | MB_TASKMODAL});  // one OK button, no icon
  std::vector<std::wstring> lines;
  for (size_t start = 0;;) {
    const size_t end = box.text.find(L"\r\n", start);
    lines.push_back(box.text.substr(start, end - start));
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 3u) << "lines joined by CR LF";
  for (const std::wstring& line : lines) {
    const size_t colon = line.find(L'：');
    EXPECT_TRUE(colon != std::wstring::npos && colon > 0 && colon + 1 < line.size()) << "label：value";
  }
}

}  // namespace
}  // namespace kivora
