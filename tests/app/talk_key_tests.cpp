// The talk key held while a sound plays: the hold's decisions over scripted times,
// the key's settings read from the file's text, the hold in front of a back end
// (a start waits out the lead), and the system's key state let go by the
// last-resort guard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "push_to_talk/push_to_talk.h"
#include "push_to_talk/talk_hold.h"
#include "push_to_talk/talk_key_values.h"
#include "push_to_talk/talk_keys.h"
#include "support/recording_audio_backend.h"

namespace kivora {
namespace {

enum class Event { Starting, StartSent, SoundOn, SoundOff, UserDown, UserUp, Due, Quit };

struct Step {
  int64_t at;
  Event event;
  KeyAction expected;
  int waitMs = 0;  // Starting only
};

struct HoldCase {
  const char* name;
  TalkTiming timing;
  std::vector<Step> steps;
};

constexpr KeyAction kNone = KeyAction::None, kPress = KeyAction::Press, kRelease = KeyAction::Release;

// A sound's start as its owner reports it: held back, then sent at the lead's end,
// the tracker hearing it start while it is sent.
std::vector<Step> Started(int64_t at, KeyAction press, int waitMs) {
  return {{at, Event::Starting, press, waitMs}, {at + waitMs, Event::SoundOn, kNone}, {at + waitMs, Event::StartSent, kNone}};
}

std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(TalkHold, PressesByTheLeadReleasesAfterTheTailAndKeepsOneHoldAcrossSounds) {
  const std::vector<HoldCase> cases = {
      {"lead, then the tail after the end", {100, 300},
       Join({Started(0, kPress, 100),
             {{2000, Event::SoundOff, kNone}, {2299, Event::Due, kNone}, {2300, Event::Due, kRelease}}})},
      {"no lead: the sound starts at once", {0, 300}, Join({Started(0, kPress, 0), {{500, Event::SoundOff, kNone},
                                                                                  {800, Event::Due, kRelease}}})},
      {"no tail: up as the sound ends", {100, 0}, Join({Started(0, kPress, 100), {{900, Event::SoundOff, kRelease}}})},
      {"a sound within the tail keeps the hold, with no second lead", {100, 300},
       Join({Started(0, kPress, 100), {{1000, Event::SoundOff, kNone}}, Started(1200, kNone, 0),
             {{1300, Event::Due, kNone}, {3000, Event::SoundOff, kNone}, {3300, Event::Due, kRelease}}})},
      {"a sound cut off by the next one keeps the hold", {100, 300},
       Join({Started(0, kPress, 100), {{700, Event::SoundOff, kNone}}, Started(700, kNone, 0),
             {{1000, Event::Due, kNone}, {1500, Event::SoundOff, kNone}, {1800, Event::Due, kRelease}}})},
      {"a second sound over the first needs no press", {100, 300},
       Join({Started(0, kPress, 100), {{500, Event::Starting, kNone, 0}, {500, Event::StartSent, kNone}},
             {{1000, Event::SoundOff, kNone}, {1300, Event::Due, kRelease}}})},
      {"the user's tap mid-sound is pressed back", {100, 300},
       Join({Started(0, kPress, 100), {{400, Event::UserDown, kNone}, {450, Event::UserUp, kPress},
                                       {900, Event::SoundOff, kNone}, {1200, Event::Due, kRelease}}})},
      {"a tap in the tail is pressed back too", {100, 300},
       Join({Started(0, kPress, 100), {{900, Event::SoundOff, kNone}, {1000, Event::UserDown, kNone},
                                       {1050, Event::UserUp, kPress}, {1200, Event::Due, kRelease}}})},
      {"the user's own hold outlasts ours and is not let go", {100, 300},
       Join({Started(0, kPress, 100), {{400, Event::UserDown, kNone}, {900, Event::SoundOff, kNone},
                                       {1200, Event::Due, kNone}, {1600, Event::UserUp, kNone}}})},
      {"a start that made no sound ends after the tail", {100, 300},
       {{0, Event::Starting, kPress, 100}, {100, Event::StartSent, kNone}, {400, Event::Due, kRelease}}},
      {"a sound resumed without a start presses at once", {100, 300},
       {{0, Event::SoundOn, kPress}, {600, Event::SoundOff, kNone}, {900, Event::Due, kRelease}}},
      {"the end of a sound during another's lead does not start the tail", {100, 300},
       Join({Started(0, kPress, 100), {{900, Event::SoundOff, kNone}}, {{1000, Event::Starting, kNone, 0}},
             {{1100, Event::Due, kNone}, {1300, Event::Due, kNone}, {1300, Event::SoundOn, kNone},
              {1300, Event::StartSent, kNone}, {2000, Event::SoundOff, kNone}, {2300, Event::Due, kRelease}}})},
      {"exit while a sound plays lets the key up once", {100, 300},
       Join({Started(0, kPress, 100), {{500, Event::Quit, kRelease}, {501, Event::Quit, kNone},
                                       {900, Event::Due, kNone}}})},
      {"exit during the lead lets the key up", {100, 300}, {{0, Event::Starting, kPress, 100}, {50, Event::Quit, kRelease}}},
      {"exit in the tail lets the key up even while the user holds it", {100, 300},
       Join({Started(0, kPress, 100), {{200, Event::UserDown, kNone}, {900, Event::SoundOff, kNone},
                                       {1000, Event::Quit, kRelease}}})},
      {"exit with nothing held sends nothing", {100, 300}, {{0, Event::Quit, kNone}}},
  };
  for (const HoldCase& test : cases) {
    TalkHold hold(test.timing);
    for (size_t index = 0; index < test.steps.size(); ++index) {
      const Step& step = test.steps[index];
      KeyAction action = kNone;
      int waitMs = 0;
      switch (step.event) {
        case Event::Starting: {
          const TalkHold::Start start = hold.SoundStarting(step.at);
          action = start.action;
          waitMs = start.waitMs;
          break;
        }
        case Event::StartSent: action = hold.StartSent(step.at); break;
        case Event::SoundOn: action = hold.Sounding(true, step.at); break;
        case Event::SoundOff: action = hold.Sounding(false, step.at); break;
        case Event::UserDown: action = hold.UserPressed(); break;
        case Event::UserUp: action = hold.UserReleased(); break;
        case Event::Due: action = hold.Due(step.at); break;
        case Event::Quit: action = hold.Quit(); break;
      }
      EXPECT_EQ(action, step.expected) << test.name << ", step " << index;
      EXPECT_EQ(waitMs, step.waitMs) << test.name << ", step " << index;
    }
  }
}

TEST(TalkKeyValues, ReadTheKeyAndTimesAndFallBackToDefaults) {
  const struct {
    TalkKeySetting text;
    std::optional<Hotkey> key;
    int leadMs, tailMs;
  } cases[] = {
      {{L"", L"", L""}, std::nullopt, 100, 300},
      {{L"F13", L"0", L"2000"}, Hotkey{0, VK_F13}, 0, 2000},
      {{L"Ctrl+Shift+V", L"250", L"1"}, Hotkey{kModControl | kModShift, 'V'}, 250, 1},
      {{L"V", L"501", L"99999"}, Hotkey{0, 'V'}, 500, 2000},
      {{L"no key", L"-5", L"1e3"}, std::nullopt, 100, 300},
      {{L"Num 5", L" 50", L"300ms"}, Hotkey{0, VK_NUMPAD5}, 100, 300},
  };
  for (const auto& test : cases) {
    const TalkKeyValues values = TalkKeyValuesOf(test.text);
    EXPECT_EQ(values.key, test.key) << std::string(test.text.key.begin(), test.text.key.end());
    EXPECT_EQ(values.timing.leadMs, test.leadMs);
    EXPECT_EQ(values.timing.tailMs, test.tailMs);
    if (values.key) {
      EXPECT_EQ(TalkKeyValuesOf(TalkKeySettingOf(values)), values);
    }
  }
}

class RecordingTalkKeys final : public TalkKeys {
 public:
  std::vector<std::wstring> calls;
  bool letUpUnseen = false;  // something let the key up without a key event
  void Press(Hotkey key) override {
    calls.push_back(L"press " + FormatHotkey(key));
    letUpUnseen = false;
  }
  void Release(Hotkey key) override { calls.push_back(L"release " + FormatHotkey(key)); }
  bool Down(Hotkey) const override { return !letUpUnseen && !calls.empty() && calls.back().starts_with(L"press"); }
};

// Runs the thread's messages (the hold's timers) until done() or 3 s have passed.
template <typename Done>
bool PumpUntil(Done done) {
  const ULONGLONG deadline = GetTickCount64() + 3000;
  while (!done()) {
    if (GetTickCount64() > deadline) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(1);
  }
  return true;
}

TEST(PushToTalk, HoldsTheStartBackByTheLeadAndLetsTheKeyUpAfterTheTail) {
  testing::RecordingAudioBackend device;
  RecordingTalkKeys keys;
  PushToTalk hold(device, keys);
  hold.Use({Hotkey{0, VK_F13}, {150, 200}});
  device.Open(L"mpegvideo", L"a.mp3", L"s");
  const ULONGLONG pressed = GetTickCount64();
  EXPECT_EQ(hold.Send(L"setaudio s volume to 500"), 0u);
  EXPECT_EQ(hold.Send(L"play s"), 0u);
  EXPECT_EQ(keys.calls, std::vector<std::wstring>{L"press F13"});
  EXPECT_EQ(device.TakeCalls(), (std::vector<std::wstring>{L"open mpegvideo s a.mp3", L"setaudio s volume to 500"}))
      << "the play waits while the key goes down first";
  ASSERT_TRUE(PumpUntil([&] { return !device.calls.empty(); }));
  EXPECT_GE(GetTickCount64() - pressed, 140u);
  EXPECT_EQ(device.TakeCalls(), std::vector<std::wstring>{L"play s"});
  hold.Sounding(true);
  hold.Sounding(false);
  const ULONGLONG ended = GetTickCount64();
  ASSERT_TRUE(PumpUntil([&] { return keys.calls.size() == 2; }));
  EXPECT_GE(GetTickCount64() - ended, 190u);
  EXPECT_EQ(keys.calls.back(), L"release F13");
}

TEST(PushToTalk, ASoundClosedInItsLeadNeverStartsAndTheKeyComesUpAtExitAndSessionEnd) {
  testing::RecordingAudioBackend device;
  RecordingTalkKeys keys;
  PushToTalk hold(device, keys);
  hold.Use({Hotkey{0, VK_F13}, {300, 2000}});
  hold.Send(L"play s");
  hold.Send(L"close s");
  EXPECT_EQ(device.TakeCalls(), std::vector<std::wstring>{L"close s"});
  hold.Quit();
  EXPECT_EQ(keys.calls, (std::vector<std::wstring>{L"press F13", L"release F13"}));
  // The session ends while a sound plays (Windows sends that to every top-level window).
  hold.Use({Hotkey{0, VK_F13}, {0, 2000}});
  hold.Send(L"play s");
  HWND window = FindWindowW(L"KivoraPushToTalk", nullptr);
  ASSERT_NE(window, nullptr);
  SendMessageW(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(keys.calls, (std::vector<std::wstring>{L"press F13", L"release F13", L"press F13", L"release F13"}));
  // Off: every command passes at once and nothing is pressed.
  hold.Use({std::nullopt, {300, 2000}});
  hold.Send(L"play s");
  EXPECT_EQ(device.TakeCalls(), (std::vector<std::wstring>{L"play s", L"play s"}));
  EXPECT_EQ(keys.calls.size(), 4u);
}

// Under Wine the focus moving between windows takes the keys' state from X, with no
// key event: the held key is found up and pressed back.
TEST(PushToTalk, AKeyLetUpUnseenWhileHeldIsPressedBack) {
  testing::RecordingAudioBackend device;
  RecordingTalkKeys keys;
  PushToTalk hold(device, keys);
  hold.Use({Hotkey{0, VK_F13}, {0, 300}});
  hold.Send(L"play s");
  hold.Sounding(true);
  keys.letUpUnseen = true;
  EXPECT_TRUE(PumpUntil([&] { return keys.calls.size() == 2; }));
  EXPECT_EQ(keys.calls, (std::vector<std::wstring>{L"press F13", L"press F13"}));
  hold.Quit();
  EXPECT_EQ(keys.calls.back(), L"release F13");
}

// The key a crash leaves behind: the unhandled-exception filter lets it up in the
// system's key state, as every program reads it.
TEST(SentTalkKeys, TheCrashFilterLetsTheHeldKeyUp) {
  SentTalkKeys keys;
  const Hotkey f14{0, VK_F14};
  keys.Press(f14);
  ASSERT_TRUE(PumpUntil([] { return (GetAsyncKeyState(VK_F14) & 0x8000) != 0; })) << "SendInput did not hold F14";
  EXCEPTION_RECORD record{};
  record.ExceptionCode = 0xE0000001;  // a crash no handler before ours acts on
  CONTEXT context{};
  EXCEPTION_POINTERS pointers{&record, &context};
  TalkKeyCrashFilter(&pointers);
  EXPECT_TRUE(PumpUntil([] { return (GetAsyncKeyState(VK_F14) & 0x8000) == 0; })) << "the filter left F14 down";
}

}  // namespace
}  // namespace kivora
