// The remote control's pure parts: which requests get in, what each one asks,
// the command line, finding a sound by name or caption, the JSON answers, and a
// file's length from its headers.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include <nlohmann/json.hpp>

#include "audio/decode/mp3_frame.h"
#include "remote/clip_length.h"
#include "remote/command_line.h"
#include "remote/command_wire.h"
#include "remote/http_request.h"
#include "remote/remote_json.h"
#include "remote/remote_settings.h"
#include "remote/sound_directory.h"
#include "remote/utf8.h"

namespace kivora::remote {
namespace {

constexpr std::string_view kToken = "0123456789abcdef0123";
constexpr int kPort = 47110;

HttpRequestView Get(std::string_view path, std::string_view query = {}) {
  HttpRequestView request;
  request.method = "GET";
  request.path = path;
  request.query = query;
  request.host = "127.0.0.1:47110";
  return request;
}

TEST(RemoteAccess, RefusesWebPagesForeignHostsAndWrongTokens) {
  const std::string bearer = "Bearer " + std::string(kToken);
  const std::string query = "token=" + std::string(kToken);
  struct Case {
    const char* what;
    std::optional<std::string_view> host, origin, authorization;
    std::string_view query;
    Failure expected;
  } cases[] = {
      {"bearer token", "127.0.0.1:47110", {}, bearer, {}, Failure::None},
      {"query token", "localhost:47110", {}, {}, query, Failure::None},
      {"host in capitals", "LOCALHOST:47110", {}, bearer, {}, Failure::None},
      {"any Origin", "127.0.0.1:47110", "http://127.0.0.1:47110", bearer, {}, Failure::Forbidden},
      {"Origin null", "127.0.0.1:47110", "null", bearer, {}, Failure::Forbidden},
      {"rebinding host", "evil.example:47110", {}, bearer, {}, Failure::Forbidden},
      {"other port", "127.0.0.1:80", {}, bearer, {}, Failure::Forbidden},
      {"no port", "localhost", {}, bearer, {}, Failure::Forbidden},
      {"no host", {}, {}, bearer, {}, Failure::Forbidden},
      {"no token", "127.0.0.1:47110", {}, {}, {}, Failure::Unauthorized},
      {"wrong token", "127.0.0.1:47110", {}, "Bearer 0123456789abcdef0124", {}, Failure::Unauthorized},
      {"token prefix", "127.0.0.1:47110", {}, "Bearer 0123456789abcdef012", {}, Failure::Unauthorized},
      {"other scheme beats query", "127.0.0.1:47110", {}, "Basic abc", query, Failure::Unauthorized},
      {"empty query token", "127.0.0.1:47110", {}, {}, "token=", Failure::Unauthorized},
  };
  for (const Case& c : cases) {
    HttpRequestView request = Get("/state", c.query);
    request.host = c.host;
    request.origin = c.origin;
    request.authorization = c.authorization;
    EXPECT_EQ(CheckAccess(request, kToken, kPort).failure, c.expected) << c.what;
  }
  // With no token set, nobody gets in, not even with an empty one.
  HttpRequestView request = Get("/state", "token=");
  EXPECT_EQ(CheckAccess(request, "", kPort).failure, Failure::Unauthorized);
}

TEST(RemoteRoutes, ReadEveryCommandAndRefuseTheRest) {
  struct Case {
    std::string_view method, path, body;
    Failure failure;
    RemoteCommand command;
  } cases[] = {
      {"GET", "/sounds", {}, Failure::None, MakeCommand(RemoteVerb::Sounds)},
      {"GET", "/state/", {}, Failure::None, MakeCommand(RemoteVerb::State)},
      {"POST", "/play/%E6%8C%89%E9%92%AE65", {}, Failure::None, MakeCommand(RemoteVerb::Play, L"按钮65")},
      {"GET", "/play/a+b%20c", {}, Failure::None, MakeCommand(RemoteVerb::Play, L"a+b c")},
      {"POST", "/play", R"({"name":"哎哟我滴妈"})", Failure::None, MakeCommand(RemoteVerb::Play, L"哎哟我滴妈")},
      {"POST", "/stop", {}, Failure::None, MakeCommand(RemoteVerb::Stop)},
      {"GET", "/stop-all", {}, Failure::None, MakeCommand(RemoteVerb::StopAll)},
      {"POST", "/pause", {}, Failure::None, MakeCommand(RemoteVerb::Pause)},
      {"POST", "/mute", {}, Failure::None, MakeCommand(RemoteVerb::Mute)},
      {"POST", "/mute/on", {}, Failure::None, MakeCommand(RemoteVerb::Mute, {}, 0, MuteChoice::On)},
      {"POST", "/mic/mute", {}, Failure::None, MakeCommand(RemoteVerb::MicrophoneMute)},
      {"GET", "/mic/mute/on", {}, Failure::None, MakeCommand(RemoteVerb::MicrophoneMute, {}, 0, MuteChoice::On)},
      {"POST", "/mic/mute/off/", {}, Failure::None, MakeCommand(RemoteVerb::MicrophoneMute, {}, 0, MuteChoice::Off)},
      {"POST", "/mic/mute/maybe", {}, Failure::NoSuchPath, {}},
      {"POST", "/volume/0", {}, Failure::None, MakeCommand(RemoteVerb::Volume, {}, 0)},
      {"POST", "/volume/100", {}, Failure::None, MakeCommand(RemoteVerb::Volume, {}, 100)},
      {"POST", "/volume", R"({"volume": 40})", Failure::None, MakeCommand(RemoteVerb::Volume, {}, 40)},
      {"POST", "/volume/101", {}, Failure::BadValue, {}},
      {"POST", "/volume/-1", {}, Failure::BadValue, {}},
      {"POST", "/volume/%2040", {}, Failure::BadValue, {}},
      {"POST", "/volume/0100", {}, Failure::BadValue, {}},
      {"POST", "/volume", R"({"volume": 40.5})", Failure::BadValue, {}},
      {"POST", "/volume", R"({"volume": 400})", Failure::BadValue, {}},
      {"POST", "/play", R"({"name": 3})", Failure::BadValue, {}},
      {"POST", "/play", R"({"name": "x")", Failure::BadValue, {}},
      {"POST", "/play/%E6%8C", {}, Failure::BadValue, {}},   // cut-off UTF-8
      {"POST", "/play/%zz", {}, Failure::BadValue, {}},
      {"POST", "/play/a%00b", {}, Failure::BadValue, {}},
      {"GET", "/play/", {}, Failure::NoSuchPath, {}},
      {"POST", "/play/", {}, Failure::BadValue, {}},  // the name then comes as a body
      {"GET", "/playlist", {}, Failure::NoSuchPath, {}},
      {"PUT", "/stop", {}, Failure::WrongMethod, {}},
      {"OPTIONS", "/stop", {}, Failure::WrongMethod, {}},
      {"POST", "/events", {}, Failure::WrongMethod, {}},
  };
  for (const Case& c : cases) {
    HttpRequestView request = Get(c.path);
    request.method = c.method;
    request.body = c.body;
    const RoutedRequest routed = RouteRequest(request);
    EXPECT_EQ(routed.refusal.failure, c.failure) << c.method << " " << c.path;
    if (c.failure == Failure::None) EXPECT_EQ(routed.command, c.command) << c.path;
  }
  EXPECT_TRUE(RouteRequest(Get("/events")).events);
  HttpRequestView large = Get("/play");
  large.method = "POST";
  const std::string body(kMaxBodyBytes + 1, ' ');
  large.body = body;
  EXPECT_EQ(RouteRequest(large).refusal.failure, Failure::TooLarge);
}

TEST(RemoteCommandLine, ReadsOptionsAndSaysWhatIsWrong) {
  using Kind = CommandLineRequest::Kind;
  struct Case {
    std::vector<std::wstring> arguments;
    Kind kind;
    RemoteCommand command;
  } cases[] = {
      {{}, Kind::Start, {}},
      {{L"C:\\some\\file.mp3"}, Kind::Start, {}},  // no option: started as before
      {{L"--help"}, Kind::Help, {}},
      {{L"/?"}, Kind::Help, {}},
      {{L"--play", L"按钮65"}, Kind::Command, MakeCommand(RemoteVerb::Play, L"按钮65")},
      {{L"--play=哎哟我滴妈"}, Kind::Command, MakeCommand(RemoteVerb::Play, L"哎哟我滴妈")},
      {{L"--stop"}, Kind::Command, MakeCommand(RemoteVerb::Stop)},
      {{L"--stop-all"}, Kind::Command, MakeCommand(RemoteVerb::StopAll)},
      {{L"--mute"}, Kind::Command, MakeCommand(RemoteVerb::Mute)},
      {{L"--volume", L"40"}, Kind::Command, MakeCommand(RemoteVerb::Volume, {}, 40)},
      {{L"--volume=0"}, Kind::Command, MakeCommand(RemoteVerb::Volume, {}, 0)},
      {{L"--list"}, Kind::Command, MakeCommand(RemoteVerb::Sounds)},
      {{L"--mic-mute"}, Kind::Command, MakeCommand(RemoteVerb::MicrophoneMute)},
      {{L"--mic-mute", L"on"}, Kind::Command, MakeCommand(RemoteVerb::MicrophoneMute, {}, 0, MuteChoice::On)},
      {{L"--mic-mute=off"}, Kind::Command, MakeCommand(RemoteVerb::MicrophoneMute, {}, 0, MuteChoice::Off)},
      {{L"--mic-mute", L"yes"}, Kind::Invalid, {}},
      {{L"--mic-mute", L"on", L"off"}, Kind::Invalid, {}},
      {{L"--play"}, Kind::Invalid, {}},
      {{L"--play", L""}, Kind::Invalid, {}},
      {{L"--volume", L"140"}, Kind::Invalid, {}},
      {{L"--volume", L"loud"}, Kind::Invalid, {}},
      {{L"--stop=now"}, Kind::Invalid, {}},
      {{L"--stop", L"--mute"}, Kind::Invalid, {}},
      {{L"--help", L"x"}, Kind::Invalid, {}},
      {{L"--shuffle"}, Kind::Invalid, {}},
  };
  for (const Case& c : cases) {
    const CommandLineRequest request = ParseCommandLine(c.arguments);
    const std::string shown = c.arguments.empty() ? "(none)" : ToUtf8(c.arguments[0]);
    EXPECT_EQ(request.kind, c.kind) << shown;
    if (c.kind == Kind::Command) EXPECT_EQ(request.command, c.command) << shown;
    if (c.kind == Kind::Invalid) EXPECT_FALSE(request.reason.empty()) << shown;
    // What the command line reads crosses to the running copy unchanged.
    if (c.kind == Kind::Command) EXPECT_EQ(DecodeCommand(EncodeCommand(request.command)), request.command) << shown;
  }
}

TEST(RemoteSounds, FoundByNameThenByOneCaption) {
  const std::vector<SoundEntry> sounds{
      {L"按钮65", L"哎哟我滴妈", L"主持", 0, L"", false, L"a.mp3"},
      {L"按钮1", L"哎哟我滴妈", L"自定义", 1, L"b.mp3", false, L"b.mp3"},
      {L"按钮2", L"", L"自定义", 2, L"", true, L""},
      {L"按钮3", L"按钮65", L"自定义", 3, L"c.mp3", false, L"c.mp3"},
      {L"按钮4", L"鼓掌", L"自定义", 4, L"d.mp3", false, L"d.mp3"},
  };
  EXPECT_EQ(FindSound(sounds, L"按钮65").sound, &sounds[0]);  // a name beats a caption
  EXPECT_EQ(FindSound(sounds, L"鼓掌").sound, &sounds[4]);
  const FoundSound shared = FindSound(sounds, L"哎哟我滴妈");
  EXPECT_EQ(shared.failure, Failure::Ambiguous);
  EXPECT_NE(shared.reason.find(L"按钮65, 按钮1"), std::wstring::npos);
  EXPECT_EQ(FindSound(sounds, L"按钮2").failure, Failure::EmptySlot);
  EXPECT_EQ(FindSound(sounds, L"").failure, Failure::UnknownSound);  // an empty slot's caption is no caption
  EXPECT_EQ(FindSound(sounds, L"按钮9").failure, Failure::UnknownSound);
  EXPECT_EQ(ActionNamed(L"音量减"), MakeCommand(RemoteVerb::VolumeStep, {}, -kVolumeStep));
  EXPECT_EQ(ActionNamed(L"全部停止"), MakeCommand(RemoteVerb::StopAll));
  EXPECT_EQ(ActionNamed(L"麦克风静音"), MakeCommand(RemoteVerb::MicrophoneMute));
  EXPECT_FALSE(ActionNamed(L"按钮65"));
}

TEST(RemoteJson, ListsSoundsAndStateAsUtf8) {
  const std::vector<SoundEntry> sounds{
      {L"按钮65", L"哎哟我滴妈", L"主持", 0, L"", false, L"a.mp3"},
      {L"按钮2", L"", L"自定义", 2, L"", true, L""},
      {L"按钮3", std::wstring(L"x") + wchar_t(0xD800), L"自定义", 3, L"C:\\声音\\x.mp3", false, L"x.mp3"},
  };
  PlaybackState state;
  state.volume = 40;
  state.playing = NowPlaying{L"按钮65", L"哎哟我滴妈", 120, 2337};
  const std::vector<std::optional<int64_t>> lengths{2337, std::nullopt, 900};
  const auto list = nlohmann::json::parse(SoundsJson(sounds, lengths, state));
  ASSERT_EQ(list["sounds"].size(), 3u);
  EXPECT_EQ(list["sounds"][0]["name"], "按钮65");
  EXPECT_EQ(list["sounds"][0]["caption"], "哎哟我滴妈");
  EXPECT_EQ(list["sounds"][0]["length_ms"], 2337);
  EXPECT_EQ(list["sounds"][0]["playing"], true);
  EXPECT_TRUE(list["sounds"][0]["slot"].is_null());
  EXPECT_EQ(list["sounds"][1]["empty"], true);
  EXPECT_TRUE(list["sounds"][1]["file"].is_null());
  EXPECT_EQ(list["sounds"][2]["slot"], 3);
  EXPECT_EQ(list["sounds"][2]["file"], "C:\\声音\\x.mp3");
  EXPECT_EQ(list["sounds"][2]["caption"], "x\xEF\xBF\xBD");  // a lone surrogate becomes U+FFFD
  EXPECT_EQ(list["state"]["volume"], 40);
  EXPECT_EQ(list["state"]["playing"]["position_ms"], 120);
  EXPECT_EQ(list["actions"].size(), 6u);
  EXPECT_EQ(list["actions"][5], "麦克风静音");
  EXPECT_EQ(list["state"]["microphone_muted"], false);
  EXPECT_TRUE(list["state"]["devices"].empty());
  // The chosen devices of the broadcast path, in the state and in the event of a change.
  state.devices = {{std::string(kBroadcastRole), L"线路 Input", false}, {std::string(kMicrophoneRole), L"麦克风", true}};
  const auto withDevices = nlohmann::json::parse(StateJson(state));
  ASSERT_EQ(withDevices["devices"].size(), 2u);
  EXPECT_EQ(withDevices["devices"][0], nlohmann::json({{"role", "broadcast"}, {"device", "线路 Input"}, {"present", false}}));
  EXPECT_EQ(withDevices["devices"][1]["present"], true);
  const auto lost = nlohmann::json::parse(DeviceEvent(state.devices[0], 7));
  EXPECT_EQ(lost, nlohmann::json({{"event", "device_lost"}, {"at", 7}, {"role", "broadcast"}, {"device", "线路 Input"}}));
  EXPECT_EQ(nlohmann::json::parse(DeviceEvent(state.devices[1], 8))["event"], "device_back");
  const auto error = nlohmann::json::parse(ErrorJson(Failure::EmptySlot, "slot 2 holds no sound"));
  EXPECT_EQ(error["ok"], false);
  EXPECT_EQ(error["error"], "empty_slot");
}

TEST(RemoteText, Utf8RoundTripsAndRefusesMalformedBytes) {
  EXPECT_EQ(FromUtf8(ToUtf8(L"按钮65 😀")), std::wstring(L"按钮65 😀"));
  for (std::string_view bad : {"\xC0\x80", "\xE6\x8C", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xFF"}) {
    EXPECT_FALSE(FromUtf8(bad)) << testing::PrintToString(std::string(bad));
  }
  EXPECT_EQ(QueryValue("a=1&token=x%2By+z&token=2", "token"), std::wstring(L"x+y z"));
  EXPECT_FALSE(QueryValue("tokens=1", "token"));
}

TEST(RemoteSettings, ReadsSection) {
  EXPECT_EQ(ReadRemoteConfig({L"1", L"5000", L"0123456789abcdef"}), (RemoteConfig{true, 5000, L"0123456789abcdef"}));
  // Anything unusable falls back: off, the default port, no token (a new one is made).
  EXPECT_EQ(ReadRemoteConfig({L"yes", L"80", L"short"}), (RemoteConfig{false, kDefaultRemotePort, L""}));
  EXPECT_EQ(ReadRemoteConfig({L"1", L"65536", L"0123456789abcdef\"<x>"}), (RemoteConfig{true, kDefaultRemotePort, L""}));
  EXPECT_EQ(RemoteSettingOf({true, 5000, L"t"}).port, L"5000");
  const uint8_t bytes[] = {0x00, 0xAB, 0xFF};
  EXPECT_EQ(TokenFromBytes(bytes), L"00abff");
}

std::vector<uint8_t> FileBytes(const std::string& name) {
  std::ifstream file(std::string(KIVORA_SOURCE_ROOT) + "/tests/audio/fixtures/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

std::optional<int64_t> LengthOf(const std::vector<uint8_t>& bytes) {
  audio::MemoryByteSource source(bytes);
  return ClipLengthMs(source);
}

// The encoder's fixtures hold 3.5 s each (mp3_reference.txt), as their info frames count.
TEST(RemoteClipLength, FromInfoFramesFrameWalksAndWaveHeaders) {
  for (const char* name : {"cbr_128.mp3", "vbr_v5.mp3", "abr_96.mp3", "mono_22k.mp3"}) {
    EXPECT_EQ(LengthOf(FileBytes(name)), 3500) << name;
  }
  // Without its info frame the frames are counted: the encoder's delay and padding stay in.
  std::vector<uint8_t> bytes = FileBytes("cbr_128.mp3");
  const auto first = audio::FindLayer3Audio(bytes, 0, bytes.size());
  ASSERT_TRUE(first);
  const auto header = audio::ParseMp3FrameHeader(std::span(bytes).subspan(*first));
  ASSERT_TRUE(header);
  bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(*first),
              bytes.begin() + static_cast<std::ptrdiff_t>(*first + header->frameBytes));
  const std::optional<int64_t> walked = LengthOf(bytes);
  ASSERT_TRUE(walked);
  EXPECT_GE(*walked, 3500);
  EXPECT_LE(*walked, 3500 + 2 * 1152 * 1000 / 44100);

  // A second of 48 kHz 16-bit stereo PCM.
  std::vector<uint8_t> wave{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                            1,   0,   2,   0,   0x80, 0xBB, 0, 0, 0, 0xEE, 2, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a',
                            0,   0xEE, 2,  0};
  wave.resize(wave.size() + 192000);
  EXPECT_EQ(LengthOf(wave), 1000);
  EXPECT_FALSE(LengthOf({'n', 'o', 't', ' ', 's', 'o', 'u', 'n', 'd'}));
}

}  // namespace
}  // namespace kivora::remote
