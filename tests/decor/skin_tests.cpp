// The skin: how the program hands it over, what a damaged library or skin leaves
// behind, and what every page of the skinned window looks like on the screen.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "assets/skin.h"
#include "decor/skin_binding.h"
#include "support/app_fixture.h"

namespace kivora::decor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::AppFixture;

constexpr COLORREF kBackground = RGB(0xF4, 0xF6, 0xFA);
constexpr COLORREF kCaption = RGB(0x1B, 0x25, 0x3B);
constexpr COLORREF kButtonFace = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kAccent = RGB(0x25, 0x63, 0xEB);
constexpr COLORREF kText = RGB(0x1F, 0x29, 0x37);

Bytes ReadFixture(const std::string& name) {
  std::ifstream file(std::string("Z:") + LOADER_FIXTURE_DIR + "/fixture_" + name + ".dll", std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

Bytes Copy(std::span<const std::uint8_t> bytes) { return Bytes(bytes.begin(), bytes.end()); }

std::string RecordedAttach() {
  char record[160]{};
  GetEnvironmentVariableA("KIVORA_RECORDED_ATTACH", record, sizeof record);
  return record;
}

TEST(SkinBinding, AttachCallsTheExportOnceWithTheSkinBytesAndLength) {
  const Bytes library = ReadFixture("recording_skin");
  const Bytes skin = Copy(assets::SkinData());
  ASSERT_TRUE(AttachSkin(library, skin));
  std::ostringstream expected;
  expected << "calls=1 skin=" << std::hex << reinterpret_cast<std::uintptr_t>(skin.data()) << std::dec
           << " size=" << skin.size() << " window=0 options=0 reserved=0";
  EXPECT_EQ(RecordedAttach(), expected.str());
}

TEST(SkinBinding, LibraryThatCannotServeMakesNoCall) {
  Bytes noMz = ReadFixture("recording_skin");
  noMz[0] = 'X';
  Bytes noPe = ReadFixture("recording_skin");
  noPe[*reinterpret_cast<const std::uint32_t*>(noPe.data() + 0x3C)] = 'X';
  SetEnvironmentVariableA("KIVORA_RECORDED_ATTACH", nullptr);
  EXPECT_FALSE(AttachSkin(noMz, assets::SkinData()));
  EXPECT_FALSE(AttachSkin(noPe, assets::SkinData()));
  EXPECT_FALSE(AttachSkin(ReadFixture("plain"), assets::SkinData())) << "no SkinH_AttachRes export";
  EXPECT_EQ(RecordedAttach(), "");
}

// The screen under a window, captured once and read by screen coordinates.
class ScreenCapture {
 public:
  explicit ScreenCapture(HWND window) {
    AppFixture::Pump();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    AppFixture::Pump();
    GetWindowRect(window, &area_);
    const int width = area_.right - area_.left, height = area_.bottom - area_.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area_.left, area_.top, SRCCOPY);
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(pixels, pixels + static_cast<size_t>(width) * height);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }

  COLORREF At(POINT screen) const {
    const int width = area_.right - area_.left;
    const std::uint32_t bgr = pixels_[(screen.y - area_.top) * width + (screen.x - area_.left)];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
  }
  // A point given in a control's client coordinates.
  COLORREF At(HWND control, int x, int y) const {
    POINT point{x, y};
    ClientToScreen(control, &point);
    return At(point);
  }
  int CountIn(HWND control, COLORREF color) const {
    RECT client{};
    GetClientRect(control, &client);
    int count = 0;
    for (int y = 0; y < client.bottom; ++y) {
      for (int x = 0; x < client.right; ++x) count += At(control, x, y) == color;
    }
    return count;
  }
  const RECT& Area() const { return area_; }

 private:
  RECT area_{};
  std::vector<std::uint32_t> pixels_;
};

RECT ClientOf(HWND control) {
  RECT client{};
  GetClientRect(control, &client);
  return client;
}

// A window of the program's own with one push button: what the skin takes or leaves.
class SkinTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"KivoraSkinTarget";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"KivoraSkinTarget", L"target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 200, 240, 160,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    button_ = CreateWindowExW(0, L"BUTTON", L"play", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 100, 40, window_,
                              nullptr, nullptr, nullptr);
    SetForegroundWindow(window_);
  }
  void TearDown() override { DestroyWindow(window_); }

  COLORREF WindowBackground() const { return ScreenCapture(window_).At(window_, 200, 110); }
  // The skin rounds the button's corners over the window background.
  COLORREF ButtonCorner() const { return ScreenCapture(window_).At(button_, 0, 0); }

  HWND window_ = nullptr;
  HWND button_ = nullptr;
};

TEST_F(SkinTargetTest, DamagedSkinDataOrLibraryLeavesThePlainLook) {
  const COLORREF plain = GetSysColor(COLOR_BTNFACE);
  ASSERT_EQ(WindowBackground(), plain);
  const Bytes good = Copy(assets::SkinData());
  struct Case {
    const char* what;
    Bytes skin;
  };
  Bytes badMagic = good, badChecksum = good, cut = good, noEntries = good;
  badMagic[1] = 's';
  badChecksum[9] ^= 0x40;  // a colour changed, the checksum not
  cut.resize(cut.size() - 1);
  noEntries[6] = noEntries[7] = 0;
  const Case cases[] = {{"wrong magic", badMagic}, {"checksum mismatch", badChecksum}, {"cut short", cut},
                        {"count does not match", noEntries}, {"empty", Bytes{}}};
  for (const Case& c : cases) {
    AttachSkin(c.skin);
    EXPECT_EQ(WindowBackground(), plain) << c.what;
    EXPECT_NE(ButtonCorner(), kBackground) << c.what;
  }
  Bytes brokenLibrary = Copy(assets::SkinLibraryImage());
  brokenLibrary[0] = 'X';
  EXPECT_FALSE(AttachSkin(brokenLibrary, good));
  EXPECT_EQ(WindowBackground(), plain) << "a library that does not load";

  ASSERT_TRUE(AttachSkin(good));
  EXPECT_EQ(WindowBackground(), kBackground) << "the good skin takes the same window";
  EXPECT_EQ(ButtonCorner(), kBackground);
}

// What a control shows at this moment, read through its own DC: the event loop
// need not have run since it was last drawn.
COLORREF ShownAt(HWND control, int x, int y) {
  HDC dc = GetDC(control);
  const COLORREF color = GetPixel(dc, x, y);
  ReleaseDC(control, dc);
  return color;
}

// The skin paints a state change either at once (where the control has drawn its
// own look over the skin's) or in the loop's next WM_PAINT: each state must show,
// held down for as long as the button is held, and no system look may remain
// once a focus change returns.
TEST_F(SkinTargetTest, EachButtonStateShowsAndTheSystemLookNeverRemains) {
  ASSERT_TRUE(AttachSkin(assets::SkinData()));
  AppFixture::Pump();
  constexpr COLORREF kButtonBorder = RGB(0xCC, 0xD3, 0xDF), kButtonHover = RGB(0xE6, 0xEE, 0xFD);
  const RECT client = ClientOf(button_);
  const LPARAM inside = MAKELPARAM(10, 10);
  POINT centre{client.right / 2, client.bottom / 2};
  ClientToScreen(button_, &centre);
  struct Step {
    const char* what;
    std::function<void()> act;
    bool loopRuns;  // false: read back the moment the message returns
    COLORREF face, border;
  };
  const Step steps[] = {
      {"held down", [&] { SendMessageW(button_, WM_LBUTTONDOWN, MK_LBUTTON, inside); }, true, kAccent, kAccent},
      {"released", [&] { SendMessageW(button_, WM_LBUTTONUP, 0, inside); }, true, kButtonFace, kAccent},
      {"focus taken away", [&] { SetFocus(window_); }, false, kButtonFace, kButtonBorder},
      {"focus given back", [&] { SetFocus(button_); }, false, kButtonFace, kAccent},
      {"under the mouse",
       [&] {
         SetCursorPos(centre.x, centre.y);
         SendMessageW(button_, WM_MOUSEMOVE, 0, inside);
       },
       true, kButtonHover, kAccent},
      {"mouse gone",
       [&] {
         SetCursorPos(centre.x, centre.y + 200);
         SendMessageW(button_, WM_MOUSELEAVE, 0, 0);
       },
       true, kButtonFace, kAccent},
  };
  for (const Step& step : steps) {
    step.act();
    if (step.loopRuns) AppFixture::Pump();
    EXPECT_EQ(ShownAt(button_, 0, 0), kBackground) << step.what << ": the skin's rounded corner";
    EXPECT_EQ(ShownAt(button_, client.right / 2, 5), step.face) << step.what << ": face";
    EXPECT_EQ(ShownAt(button_, client.right / 2, 1), step.border) << step.what << ": border";
  }
}

// Every page of the skinned main window, read back from the screen in regions
// whose colour the skin decides.
// Sent as the system sends it when the window lands on a monitor of this DPI; the
// session itself stays at 96 DPI, so only wParam tells the skin.
void MoveToDpi(HWND window, POINT at, int dpi) {
  RECT suggested{at.x, at.y, at.x + MulDiv(397, dpi, 96), at.y + MulDiv(305, dpi, 96)};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  AppFixture::Pump();
}

// The skin's check box (a 14-pixel box, 5 pixels from its text) and slider thumb
// (radius 7, a 2-pixel ring) at 100 and 200 %: each point lies inside the box and
// the thumb, or in the gap, only when the skin draws them at the window's DPI.
TEST(SkinLook, TheCheckBoxAndTheSliderThumbAreDrawnAtTheWindowsDpi) {
  AppFixture fixture;
  HWND window = fixture.hwnd();
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window);
  HWND box = fixture.control(L"选择框1").Handle();
  HWND slider = fixture.control(L"滑块条1").Handle();
  for (int dpi : {96, 192}) {
    SCOPED_TRACE(dpi);
    MoveToDpi(window, {200, 60}, dpi);
    ScreenCapture shot(window);
    const int middle = ClientOf(box).bottom / 2;
    EXPECT_EQ(shot.At(box, MulDiv(12, dpi, 96), middle), kButtonFace) << "inside the box";
    EXPECT_EQ(shot.At(box, MulDiv(17, dpi, 96), middle), kBackground) << "between the box and its text";
    RECT thumb{};
    SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    const int thumbX = (thumb.left + thumb.right) / 2;
    EXPECT_EQ(shot.At(slider, thumbX - MulDiv(4, dpi, 96), ClientOf(slider).bottom / 2), kButtonFace) << "thumb";
  }
}

TEST(SkinLook, EveryPageRendersInTheSkinColours) {
  AppFixture fixture;
  HWND window = fixture.hwnd();
  // Other test programs of the session show their windows centred on the same
  // screen: this one is read back from a place of its own, on top, and away from
  // the screen's edges (where it would dock).
  SetWindowPos(window, HWND_TOPMOST, 860, 470, 0, 0, SWP_NOSIZE);
  SetForegroundWindow(window);
  AppFixture::Pump();
  HWND tab = fixture.control(L"选择夹1").Handle();
  HWND slider = fixture.control(L"滑块条1").Handle();
  HWND volumeLabel = fixture.control(L"标签1").Handle();
  struct Page {
    int index;
    const wchar_t* button;  // a push button shown on the page, or null
    bool volumeRow;
  };
  const Page pages[] = {{0, L"按钮63", true}, {1, nullptr, true}, {2, nullptr, true}, {3, L"按钮1", true}, {4, nullptr, false}};
  for (const Page& page : pages) {
    SCOPED_TRACE(page.index);
    fixture.ClickTab(page.index);
    ScreenCapture shot(window);
    const RECT frame = shot.Area();
    EXPECT_EQ(shot.At(POINT{(frame.left * 3 + frame.right) / 4 + 40, frame.top + 6}), kCaption) << "title bar";
    const RECT tabArea = ClientOf(tab);
    EXPECT_EQ(shot.At(tab, tabArea.right - 3, tabArea.bottom - 3), kBackground) << "page background";
    RECT item{};
    SendMessageW(tab, TCM_GETITEMRECT, page.index, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(shot.At(tab, (item.left + item.right) / 2, item.bottom - 2), kAccent) << "chosen tab marked";
    if (page.button) {
      HWND button = fixture.control(page.button).Handle();
      EXPECT_EQ(shot.At(button, ClientOf(button).right / 2, 5), kButtonFace) << "button face";
      EXPECT_GT(shot.CountIn(button, kText), 5) << "button caption drawn";
    }
    if (page.volumeRow) {
      const RECT track = ClientOf(slider);
      EXPECT_EQ(shot.At(slider, 14, track.bottom / 2), kAccent) << "slider filled to its position";
      EXPECT_EQ(shot.At(volumeLabel, 1, 1), kBackground) << "label background";
      EXPECT_GT(shot.CountIn(volumeLabel, kText), 5) << "label text drawn";
    } else {
      HWND instructions = fixture.control(L"标签3").Handle();
      EXPECT_EQ(shot.At(instructions, ClientOf(instructions).right - 2, ClientOf(instructions).bottom - 2), kBackground);
      EXPECT_GT(shot.CountIn(instructions, kText), 200) << "instructions drawn";
    }
  }
}

}  // namespace
}  // namespace kivora::decor
