// The Player's conversation with its device: which commands it sends, in which
// order, with which alias, and what it makes of the answers.
#include <gtest/gtest.h>

#include <climits>
#include <regex>
#include <string>
#include <vector>

#include "audio/engine/device_type.h"
#include "base/leading_integer.h"
#include "audio/engine/player.h"
#include "support/recording_audio_backend.h"

namespace kivora::audio {
namespace {

using Calls = std::vector<std::wstring>;
using kivora::testing::RecordingAudioBackend;

constexpr DeviceResult kFileNotFound = 275;     // MCIERR_FILE_NOT_FOUND
constexpr DeviceResult kInvalidDevice = 263;    // MCIERR_INVALID_DEVICE_NAME
constexpr DeviceResult kUnsupported = 274;      // MCIERR_UNSUPPORTED_FUNCTION

TEST(PlayerAlias, IsAFreshGuidWithoutHyphensAndNamesEveryCommand) {
  const std::wregex guidWithoutHyphens(LR"(\{[0-9A-F]{32}\})");
  RecordingAudioBackend backend;
  Player first(backend);
  Player second(backend);
  EXPECT_TRUE(std::regex_match(first.Alias(), guidWithoutHyphens)) << first.Alias();
  EXPECT_NE(first.Alias(), second.Alias());

  first.Open(L"C:\\a.mp3");
  first.Play();
  first.PauseToggle();
  first.SetVolume(50, 50);
  for (const std::wstring& call : backend.calls) {
    EXPECT_NE(call.find(first.Alias()), std::wstring::npos) << call;
  }
}

TEST(PlayerOpen, ClosesThePreviousSoundThenOpensByExtension) {
  RecordingAudioBackend backend;
  Player player(backend, L"snd");
  EXPECT_TRUE(player.Open(L"C:\\Data\\音乐\\01群众笑声.mp3"));
  EXPECT_TRUE(player.Open(L"D:\\clips\\ding.WAV"));
  EXPECT_EQ(backend.TakeCalls(), (Calls{
                                     L"close snd",
                                     L"open MPEGvideo snd C:\\Data\\音乐\\01群众笑声.mp3",
                                     L"close snd",
                                     L"open waveaudio snd D:\\clips\\ding.WAV",
                                 }));
}

TEST(PlayerOpen, ReportsAFileThatWouldNotOpenAfterClosingTheOldSound) {
  RecordingAudioBackend backend;
  Player player(backend, L"snd");
  backend.scriptedResults = {0, kFileNotFound};
  EXPECT_FALSE(player.Open(L"C:\\gone.mp3"));
  EXPECT_EQ(backend.TakeCalls(), (Calls{L"close snd", L"open MPEGvideo snd C:\\gone.mp3"}));
}

TEST(PlayerOpen, SucceedsWhenThereWasNothingToClose) {
  RecordingAudioBackend backend;
  Player player(backend, L"snd");
  backend.scriptedResults = {kInvalidDevice, 0};
  EXPECT_TRUE(player.Open(L"C:\\a.mp3"));
}

TEST(PlayerLifetime, ClosesItsSoundWhenDestroyed) {
  RecordingAudioBackend backend;
  {
    Player player(backend, L"snd");
    player.Open(L"C:\\a.mp3");
    player.Play();
    backend.TakeCalls();
  }
  EXPECT_EQ(backend.calls, (Calls{L"close snd"}));
}

TEST(PlayerPause, FlipsEvenWithNothingOpenSoTogglesAlternate) {
  RecordingAudioBackend backend;
  Player player(backend, L"snd");
  backend.defaultResult = kInvalidDevice;
  EXPECT_FALSE(player.PauseToggle());
  EXPECT_TRUE(player.Paused());
  EXPECT_FALSE(player.PauseToggle());
  EXPECT_FALSE(player.Paused());
  player.PauseToggle();
  EXPECT_EQ(backend.TakeCalls(), (Calls{L"pause snd", L"resume snd", L"pause snd"}));
}

TEST(PlayerPause, PlayClearsPausedSoTheNextToggleNeedsNoExtraPress) {
  RecordingAudioBackend backend;
  Player player(backend, L"snd");
  player.PauseToggle();
  player.Open(L"C:\\b.mp3");
  EXPECT_TRUE(player.Paused()) << "Open leaves the flag alone";
  EXPECT_TRUE(player.Play());
  EXPECT_FALSE(player.Paused());
  player.PauseToggle();
  EXPECT_EQ(backend.TakeCalls(),
            (Calls{L"pause snd", L"close snd", L"open MPEGvideo snd C:\\b.mp3", L"play snd", L"pause snd"}));
}

TEST(PlayerPlay, ReportsTheDevicesAnswer) {
  RecordingAudioBackend backend;
  Player player(backend, L"snd");
  backend.scriptedResults = {kInvalidDevice};
  EXPECT_FALSE(player.Play());
  EXPECT_FALSE(player.Paused());
}

struct VolumeCase {
  int left, right;
  std::vector<DeviceResult> answers;  // of the commands actually sent, in order
  Calls expectedCalls;
  bool expectedResult;
};

TEST(PlayerSetVolume, SendsOnlyChannelsInRangeAndSucceedsOnlyWhenLeftWasSet) {
  const VolumeCase cases[] = {
      {37, 37, {}, {L"setaudio snd left volume to 370", L"setaudio snd right volume to 370"}, true},
      {0, 0, {}, {L"setaudio snd left volume to 0", L"setaudio snd right volume to 0"}, true},
      {100, 100, {}, {L"setaudio snd left volume to 1000", L"setaudio snd right volume to 1000"}, true},
      {101, 50, {}, {L"setaudio snd right volume to 500"}, false},
      {-1, 50, {}, {L"setaudio snd right volume to 500"}, false},
      {50, 101, {}, {L"setaudio snd left volume to 500"}, true},
      {50, -5, {}, {L"setaudio snd left volume to 500"}, true},
      {250, 250, {}, {}, false},
      {INT_MAX, INT_MIN, {}, {}, false},
      {INT_MIN / 10 - 1, INT_MAX / 10 + 1, {}, {}, false},
      {40, 40, {kUnsupported, 0}, {L"setaudio snd left volume to 400", L"setaudio snd right volume to 400"}, false},
      {40, 40, {0, kUnsupported}, {L"setaudio snd left volume to 400", L"setaudio snd right volume to 400"}, false},
      {40, 200, {kInvalidDevice}, {L"setaudio snd left volume to 400"}, false},
  };
  for (const VolumeCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "SetVolume(" << c.left << ", " << c.right << ")");
    RecordingAudioBackend backend;
    Player player(backend, L"snd");
    backend.scriptedResults.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(player.SetVolume(c.left, c.right), c.expectedResult);
    EXPECT_EQ(backend.TakeCalls(), c.expectedCalls);
  }
}

TEST(ApplyVolumeAndPlay, SetsBothChannelsFromTheSliderThenPlays) {
  RecordingAudioBackend backend;
  Player player(backend, L"snd");
  player.PauseToggle();
  backend.TakeCalls();
  EXPECT_TRUE(ApplyVolumeAndPlay(player, 37));
  EXPECT_EQ(backend.TakeCalls(),
            (Calls{L"setaudio snd left volume to 370", L"setaudio snd right volume to 370", L"play snd"}));
  EXPECT_FALSE(player.Paused());

  // A restored position above 100 leaves the device at its own loudness but still plays.
  ApplyVolumeAndPlay(player, 250);
  EXPECT_EQ(backend.TakeCalls(), (Calls{L"play snd"}));
}

TEST(DeviceType, FollowsTheFirstThreeLettersOfTheFileExtension) {
  const struct {
    const wchar_t* path;
    const wchar_t* device;
  } cases[] = {
      {L"C:\\a\\clip.mp3", L"MPEGvideo"},
      {L"C:\\a\\clip.MP3", L"MPEGvideo"},
      {L"C:\\a\\clip.wav", L"waveaudio"},
      {L"C:\\a\\clip.WaV", L"waveaudio"},
      {L"C:\\a\\clip.wave", L"waveaudio"},  // only three letters count
      {L"C:\\a\\clip.avi", L"avivideo"},
      {L"C:\\a\\track01.cda", L"cdaudio"},
      {L"C:\\a\\song.mid", L"Sequencer"},
      {L"C:\\a\\song.midi", L"Sequencer"},
      {L"C:\\a\\song.rmi", L"Sequencer"},
      {L"C:\\a\\song.idi", L"Sequencer"},
      {L"C:\\a\\song.wma", L"MPEGvideo2"},
      {L"C:\\a\\song.ASF", L"MPEGvideo2"},
      {L"C:\\a\\song.asx", L"MPEGvideo2"},
      {L"C:\\a\\song.ivf", L"MPEGvideo2"},
      {L"C:\\a\\song.lsf", L"MPEGvideo2"},
      {L"C:\\a\\song.lsx", L"MPEGvideo2"},
      {L"C:\\a\\song.p2v", L"MPEGvideo2"},
      {L"C:\\a\\song.wax", L"MPEGvideo2"},
      {L"C:\\a\\song.wvx", L"MPEGvideo2"},
      {L"C:\\a\\song.wmx", L"MPEGvideo2"},
      {L"C:\\a\\song.wmp", L"MPEGvideo2"},
      {L"C:\\a\\song.wmv", L"MPEGvideo"},
      {L"C:\\a\\x.mp3.wav", L"waveaudio"},   // the last dot decides
      {L"C:\\a\\x.wav.mp3", L"MPEGvideo"},
      {L"C:\\a\\noextension", L"MPEGvideo"},
      {L"C:\\a\\trailingdot.", L"MPEGvideo"},
      {L"C:\\a\\.wav", L"waveaudio"},
      {L"C:\\my.wav\\clip", L"MPEGvideo"},    // a dot in a folder is no extension
      {L"C:\\my.wav\\clip.mid", L"Sequencer"},
      {L"C:/my.avi/clip", L"MPEGvideo"},
      {L"", L"MPEGvideo"},
      {L"C:\\a\\音乐.wav", L"waveaudio"},
      {L"C:\\a\\clip.ｗａｖ", L"MPEGvideo"},  // full-width letters are not "wav"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeviceTypeFor(c.path), c.device) << c.path;
  }
}

TEST(LeadingInteger, ReadsTheLeadingSignedDecimalNumber) {
  const struct {
    const wchar_t* text;
    int value;
  } cases[] = {
      {L"", 0},          {L"37", 37},           {L"0", 0},         {L"250", 250},
      {L"-5", -5},       {L"+7", 7},            {L"abc", 0},       {L"12abc", 12},
      {L"  42", 42},     {L"\t9", 9},           {L"- 5", 0},       {L"--5", 0},
      {L"3.9", 3},       {L"007", 7},           {L"99999999999", INT_MAX},
      {L"-99999999999", INT_MIN},               {L"2147483647", INT_MAX},
      {L"-2147483648", INT_MIN},                {L"１２", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LeadingInteger(c.text), c.value) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace kivora::audio
