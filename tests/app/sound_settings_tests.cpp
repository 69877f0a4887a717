// The settings dialog's section 声音 and the output levels of section 输出, driven
// through their real controls: what 确定 keeps reaches the file as one readable
// line per sound (none at the defaults) and the program's own state, 取消 keeps
// nothing, and a restart reads it all back.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "settings/settings_file.h"
#include "settings_dialog/settings_dialog.h"
#include "sound_settings/sound_settings_section.h"
#include "support/app_fixture.h"

namespace kivora {
namespace {

using audio::SecondPress;
using testing::AppFixture;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// The shown page's controls of one class (in the order they were made), or with one text.
std::vector<HWND> Controls(HWND dialog, std::wstring_view className, std::wstring_view text = {}) {
  struct Search {
    HWND dialog;
    std::wstring_view className, text;
    std::vector<HWND> found;
  } search{dialog, className, text, {}};
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (GetParent(child) == s->dialog || !IsWindowVisible(child)) return TRUE;
        if (ClassOf(child) == s->className && (s->text.empty() || TextOf(child) == s->text)) s->found.push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Notify(HWND control, WORD code) {
  SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

// The section titled title shown, as a click in the dialog's list of sections shows it.
void ShowSection(HWND dialog, std::wstring_view title) {
  HWND sections = FindWindowExW(dialog, nullptr, L"ListBox", nullptr);
  const LRESULT index = SendMessageW(sections, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(std::wstring(title).c_str()));
  ASSERT_GE(index, 0) << "no section " << ::testing::PrintToString(std::wstring(title));
  SendMessageW(sections, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(sections, LBN_SELCHANGE);
}

// What the page 声音 offers, found by kind and order.
struct SoundPage {
  explicit SoundPage(HWND dialog) {
    ShowSection(dialog, kSoundSectionTitle);
    list = Controls(dialog, L"ListBox").at(0);
    press = Controls(dialog, L"ComboBox").at(0);
    edits = Controls(dialog, L"Edit");
    audition = Controls(dialog, L"Button", L"试听").at(0);
    reset = Controls(dialog, L"Button", L"恢复默认").at(0);
    resetAll = Controls(dialog, L"Button", L"全部恢复默认").at(0);
  }
  void Choose(int index) const {
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Notify(list, LBN_SELCHANGE);
  }
  std::wstring Item(int index) const {
    std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()))));
    return text;
  }
  void Type(size_t field, const wchar_t* text) const {
    SetWindowTextW(edits.at(field), text);  // a single-line edit reports EN_CHANGE itself
    Notify(edits.at(field), EN_KILLFOCUS);
  }
  void Press(int index) const {
    SendMessageW(press, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Notify(press, CBN_SELCHANGE);
  }
  HWND list, press, audition, reset, resetAll;
  std::vector<HWND> edits;  // 音量, 淡入, 淡出, 起点, 终点
};
enum Field { kLevel, kFadeIn, kFadeOut, kStart, kEnd };

std::function<void(HWND)> actions;
int closeWith = IDCANCEL;
bool acted = false;

// Opens the dialog from the system menu, runs what on it, then ends it with button.
void RunDialog(AppFixture& fixture, std::function<void(HWND)> what, int button) {
  actions = std::move(what);
  closeWith = button;
  acted = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    // A modal dialog shows itself once its queue first runs empty: until then its pages count as hidden.
    HWND dialog = FindWindowW(nullptr, std::wstring(kSettingsDialogTitle).c_str());
    if (!dialog || !IsWindowVisible(dialog) || acted) return;
    acted = true;
    try {
      actions(dialog);
    } catch (const std::exception& error) {  // a control not found; nothing may cross the timer's callback
      ADD_FAILURE() << error.what();
    }
    PostMessageW(dialog, WM_COMMAND, closeWith, 0);
  });
  SendMessageW(fixture.hwnd(), WM_SYSCOMMAND, kSettingsCommand, 0);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(acted) << "the dialog did not open";
}

std::wstring SoundLine(const wchar_t* key) { return ReadSetting(AppFixture::SettingsFile(), L"声音", key); }

// The file's bytes, to tell a missing key from an empty one.
std::string FileBytes() {
  std::string bytes;
  HANDLE file = CreateFileW(AppFixture::SettingsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

TEST(SoundSettingsSection, OkKeepsEachSoundAsOneLineAndCancelKeepsNothing) {
  {
    AppFixture fixture;
    RunDialog(fixture, [](HWND dialog) {
      SoundPage page(dialog);
      EXPECT_EQ(SendMessageW(page.list, LB_GETCOUNT, 0, 0), 80);
      EXPECT_EQ(page.Item(0), L"群众笑声");
      EXPECT_EQ(page.Item(60), L"自定义 1：(空)");
      EXPECT_FALSE(IsWindowEnabled(page.reset)) << "a sound at its defaults has nothing to reset";

      page.Choose(2);  // 哎哟我滴妈, 按钮65
      page.Type(kLevel, L"-3");
      page.Press(1);  // 停止
      page.Type(kFadeOut, L"200");
      EXPECT_FALSE(IsWindowEnabled(page.edits[kStart])) << "a built-in sound is not trimmed";
      // 试听 plays the sound as it is set in the dialog, on the default device alone.
      ASSERT_TRUE(IsWindowEnabled(page.audition));
      SendMessageW(page.audition, BM_CLICK, 0, 0);
      EXPECT_EQ(page.Item(2), L"哎哟我滴妈" + std::wstring(kChangedMark));
      EXPECT_TRUE(IsWindowEnabled(page.reset));

      page.Choose(60);  // custom slot 1
      EXPECT_TRUE(IsWindowEnabled(page.edits[kStart]));
      EXPECT_FALSE(IsWindowEnabled(page.audition)) << "an empty slot has nothing to hear";
      EXPECT_EQ(TextOf(page.edits[kLevel]), L"0") << "each sound shows its own";
      page.Type(kFadeIn, L"99999");
      EXPECT_EQ(TextOf(page.edits[kFadeIn]), L"5000") << "a value past the range becomes its end";
      page.Type(kStart, L"120");
      page.Type(kEnd, L"abc");
      EXPECT_EQ(TextOf(page.edits[kEnd]), L"0") << "text that is no number leaves the value as it was";

      page.Choose(3);  // set and reset: no line
      page.Type(kLevel, L"6");
      SendMessageW(page.reset, BM_CLICK, 0, 0);
      EXPECT_EQ(TextOf(page.edits[kLevel]), L"0");
      EXPECT_EQ(page.Item(3), L"可爱笑声");
    }, IDOK);

    EXPECT_EQ(SoundLine(L"按钮65"), L"音量:-3;再次按下:停止;淡入:0;淡出:200");
    EXPECT_EQ(SoundLine(L"按钮1"), L"音量:0;再次按下:重新开始;淡入:5000;淡出:0;起点:120;终点:0");
    EXPECT_EQ(FileBytes().find("\xb0\xb4\xc5\xa5\x36\x36="), std::string::npos) << "按钮66 is at its defaults: no line";
    EXPECT_EQ(fixture.app().SoundShapes().Of(L"按钮65"), (SoundShape{-3, SecondPress::Stop, 0, 200, 0, 0}));
    ASSERT_EQ(fixture.audio.shapes.size(), 1u);
    const auto& preview = fixture.audio.shapes[0];
    EXPECT_TRUE(preview.press.monitorOnly);
    EXPECT_FALSE(preview.cutsOthers);
    EXPECT_NEAR(preview.press.clip.gain, std::pow(10.0, -3 / 20.0), 1e-6);
    EXPECT_EQ(preview.press.clip.fadeOutMs, 200);
    const std::vector<std::wstring> previewCalls = fixture.audio.TakeCalls();
    EXPECT_TRUE(std::ranges::any_of(previewCalls, [](const std::wstring& call) {
      return call.starts_with(L"open ") && call.ends_with(L"03哎哟我滴妈.mp3");
    })) << "the preview did not open the sound's file";

    // The button plays as it is kept: its press carries the shape, and 停止 lets what plays go on.
    fixture.Click(L"按钮65");
    ASSERT_EQ(fixture.audio.shapes.size(), 2u);
    EXPECT_EQ(fixture.audio.shapes[1].press.key, L"按钮65");
    EXPECT_EQ(fixture.audio.shapes[1].press.mode, SecondPress::Stop);
    EXPECT_FALSE(fixture.audio.shapes[1].cutsOthers);
    EXPECT_FALSE(fixture.audio.shapes[1].press.monitorOnly);
    fixture.Click(L"按钮66");
    ASSERT_EQ(fixture.audio.shapes.size(), 3u);
    EXPECT_TRUE(fixture.audio.shapes[2].cutsOthers) << "a sound at its defaults cuts off what plays";

    const std::string before = FileBytes();
    RunDialog(fixture, [](HWND dialog) {
      SoundPage page(dialog);
      EXPECT_EQ(page.Item(2), L"哎哟我滴妈" + std::wstring(kChangedMark)) << "the dialog opens with what is kept";
      EXPECT_EQ(TextOf(page.edits[kLevel]), L"0") << "the first sound is chosen";
      SendMessageW(page.resetAll, BM_CLICK, 0, 0);
      EXPECT_EQ(page.Item(2), L"哎哟我滴妈");
    }, IDCANCEL);
    EXPECT_EQ(FileBytes(), before) << "取消 writes nothing";
  }

  AppFixture restarted(AppFixture::Settings::AsTheyAre);
  EXPECT_EQ(restarted.app().SoundShapes().Of(L"按钮1"), (SoundShape{0, SecondPress::Restart, 5000, 0, 120, 0}));
  RunDialog(restarted, [](HWND dialog) { SendMessageW(SoundPage(dialog).resetAll, BM_CLICK, 0, 0); }, IDOK);
  EXPECT_TRUE(restarted.app().SoundShapes().Of(L"按钮65").IsDefault());
  const std::string after = FileBytes();
  EXPECT_EQ(after.find("\xb0\xb4\xc5\xa5\x36\x35="), std::string::npos) << "全部恢复默认 leaves no line: " << after;
  EXPECT_EQ(after.find("\xb0\xb4\xc5\xa5\x31="), std::string::npos) << after;
}

// Where a file starts and ends belongs to that file: a slot given another file (or
// emptied) loses its trim and keeps the rest of its shape.
TEST(SoundSettingsSection, ASlotsTrimGoesWithItsFile) {
  AppFixture fixture;
  fixture.app().SoundShapes().Set(L"按钮1", {-6, SecondPress::Loop, 0, 300, 120, 40});
  EXPECT_EQ(SoundLine(L"按钮1"), L"音量:-6;再次按下:循环;淡入:0;淡出:300;起点:120;终点:40");
  fixture.fileChooser.choices.push_back(AppFixture::DataFolder() + L"音乐\\01群众笑声.mp3");
  fixture.Click(L"按钮1");
  EXPECT_EQ(fixture.app().SoundShapes().Of(L"按钮1"), (SoundShape{-6, SecondPress::Loop, 0, 300, 0, 0}));
  EXPECT_EQ(SoundLine(L"按钮1"), L"音量:-6;再次按下:循环;淡入:0;淡出:300;起点:0;终点:0");
}

TEST(OutputLevelSliders, OkKeepsBothLevelsAndARestartReadsThem) {
  {
    AppFixture fixture;
    EXPECT_EQ(fixture.app().Levels().Levels(), (OutputLevelPair{100, 100})) << "both at 100 without a file";
    RunDialog(fixture, [](HWND dialog) {
      ShowSection(dialog, L"输出");
      const std::vector<HWND> sliders = Controls(dialog, TRACKBAR_CLASSW);
      ASSERT_EQ(sliders.size(), 2u);
      EXPECT_EQ(SendMessageW(sliders[0], TBM_GETPOS, 0, 0), 100);
      SendMessageW(sliders[0], TBM_SETPOS, TRUE, 50);
      SendMessageW(GetParent(sliders[0]), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(sliders[0]));
      EXPECT_EQ(Controls(dialog, L"Static", L"50%").size(), 1u) << "the percentage follows the slider";
    }, IDOK);
    EXPECT_EQ(fixture.app().Levels().Levels(), (OutputLevelPair{50, 100}));
    EXPECT_EQ(ReadSetting(AppFixture::SettingsFile(), L"输出", L"耳机音量"), L"50");
    EXPECT_EQ(ReadSetting(AppFixture::SettingsFile(), L"输出", L"直播音量"), L"100");
  }
  WriteSetting(AppFixture::SettingsFile(), L"输出", L"直播音量", L"250");
  AppFixture restarted(AppFixture::Settings::AsTheyAre);
  EXPECT_EQ(restarted.app().Levels().Levels(), (OutputLevelPair{50, 100})) << "250 is no level: 100";
}

TEST(OutputLevelSliders, KeptTextReadsAsALevel) {
  const struct {
    const wchar_t* text;
    int level;
  } cases[] = {{L"", 100}, {L"0", 0}, {L"50", 50}, {L" 7 ", 7}, {L"100", 100}, {L"101", 100}, {L"-1", 100}, {L"5%", 100}};
  for (const auto& c : cases) EXPECT_EQ(OutputLevelOf(c.text), c.level) << ::testing::PrintToString(std::wstring(c.text));
}

}  // namespace
}  // namespace kivora
