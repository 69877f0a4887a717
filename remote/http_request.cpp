#include "remote/http_request.h"

#include <array>
#include <cctype>

#include <nlohmann/json.hpp>

#include "remote/utf8.h"

namespace kivora::remote {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<std::string> TokenOf(const HttpRequestView& request) {
  if (request.authorization) {
    const std::string_view value = Trimmed(*request.authorization);
    constexpr std::string_view kScheme = "bearer ";
    if (value.size() > kScheme.size() && EqualNoCase(value.substr(0, kScheme.size()), kScheme)) {
      return std::string(Trimmed(value.substr(kScheme.size())));
    }
    return std::nullopt;  // another scheme is a wrong token, not a missing one
  }
  if (auto value = QueryValue(request.query, "token")) return ToUtf8(*value);
  return std::nullopt;
}

Refusal Refuse(Failure failure, std::string reason) { return {failure, std::move(reason)}; }

RoutedRequest Failed(Failure failure, std::string reason) { return {{}, false, Refuse(failure, std::move(reason))}; }

RoutedRequest Command(RemoteCommand command) { return {std::move(command), false, {}}; }

struct SimpleRoute {
  std::string_view path;
  RemoteVerb verb;
  MuteChoice mute = MuteChoice::Toggle;
};

constexpr std::array kSimpleRoutes{
    SimpleRoute{"/sounds", RemoteVerb::Sounds},     SimpleRoute{"/state", RemoteVerb::State},
    SimpleRoute{"/stop", RemoteVerb::Stop},         SimpleRoute{"/stop-all", RemoteVerb::StopAll},
    SimpleRoute{"/pause", RemoteVerb::Pause},       SimpleRoute{"/mute", RemoteVerb::Mute},
    SimpleRoute{"/mute/on", RemoteVerb::Mute, MuteChoice::On},
    SimpleRoute{"/mute/off", RemoteVerb::Mute, MuteChoice::Off},
    SimpleRoute{"/mic/mute", RemoteVerb::MicrophoneMute},
    SimpleRoute{"/mic/mute/on", RemoteVerb::MicrophoneMute, MuteChoice::On},
    SimpleRoute{"/mic/mute/off", RemoteVerb::MicrophoneMute, MuteChoice::Off},
};

// The JSON body of POST /play or POST /volume: one member of the given name.
std::optional<nlohmann::json> BodyMember(std::string_view body, const char* member) {
  nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
  auto found = parsed.find(member);
  if (found == parsed.end()) return std::nullopt;
  return *found;
}

RoutedRequest PlayFromBody(std::string_view body) {
  auto name = BodyMember(body, "name");
  if (!name || !name->is_string()) return Failed(Failure::BadValue, "POST /play wants {\"name\": \"<name or caption>\"}");
  auto wide = FromUtf8(name->get_ref<const std::string&>());
  if (!wide || wide->empty()) return Failed(Failure::BadValue, "the name is empty or no UTF-8");
  return Command(MakeCommand(RemoteVerb::Play, std::move(*wide)));
}

RoutedRequest VolumeFromBody(std::string_view body) {
  auto volume = BodyMember(body, "volume");
  if (!volume || !volume->is_number_integer() || *volume < 0 || *volume > 100) {
    return Failed(Failure::BadValue, "POST /volume wants {\"volume\": <0-100>}");
  }
  return Command(MakeCommand(RemoteVerb::Volume, {}, volume->get<int>()));
}

}  // namespace

std::optional<std::wstring> DecodeComponent(std::string_view text, bool query) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      c = static_cast<char>(high * 16 + low);
      i += 2;
    } else if (c == '+' && query) {
      c = ' ';
    }
    if (c == '\0') return std::nullopt;
    bytes += c;
  }
  return FromUtf8(bytes);
}

std::optional<std::wstring> QueryValue(std::string_view query, std::string_view key) {
  while (!query.empty()) {
    const size_t end = query.find('&');
    const std::string_view pair = query.substr(0, end);
    const size_t equals = pair.find('=');
    if (pair.substr(0, equals) == key) {
      return DecodeComponent(equals == std::string_view::npos ? std::string_view{} : pair.substr(equals + 1), true);
    }
    if (end == std::string_view::npos) break;
    query.remove_prefix(end + 1);
  }
  return std::nullopt;
}

std::optional<int> ParseVolume(std::wstring_view text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  if (value > 100) return std::nullopt;
  return value;
}

bool SameSecret(std::string_view a, std::string_view b) {
  unsigned difference = a.size() == b.size() ? 0u : 1u;
  for (size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(i < b.size() ? b[i] : 0);
  }
  return difference == 0;
}

Refusal CheckAccess(const HttpRequestView& request, std::string_view token, int port) {
  if (request.origin) return Refuse(Failure::Forbidden, "requests from web pages (an Origin header) are refused");
  const std::string suffix = ":" + std::to_string(port);
  const std::string_view host = request.host ? Trimmed(*request.host) : std::string_view{};
  if (!EqualNoCase(host, "127.0.0.1" + suffix) && !EqualNoCase(host, "localhost" + suffix)) {
    return Refuse(Failure::Forbidden, "the Host header must be 127.0.0.1" + suffix + " or localhost" + suffix);
  }
  const std::optional<std::string> given = TokenOf(request);
  if (!given) return Refuse(Failure::Unauthorized, "a token is needed: Authorization: Bearer <token>, or ?token=<token>");
  if (token.empty() || !SameSecret(*given, token)) return Refuse(Failure::Unauthorized, "the token is wrong");
  return {};
}

RoutedRequest RouteRequest(const HttpRequestView& request) {
  const bool get = request.method == "GET", post = request.method == "POST";
  if (!get && !post) return Failed(Failure::WrongMethod, "only GET and POST are served");
  if (request.body.size() > kMaxBodyBytes) return Failed(Failure::TooLarge, "the body is larger than 4096 bytes");
  std::string_view path = request.path;
  if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);

  if (path == "/events") {
    if (!get) return Failed(Failure::WrongMethod, "/events is a WebSocket: GET with an upgrade");
    return {{}, true, {}};
  }
  for (const SimpleRoute& route : kSimpleRoutes) {
    if (path == route.path) {
      return Command(MakeCommand(route.verb, {}, 0, route.mute));
    }
  }
  constexpr std::string_view kPlay = "/play", kVolume = "/volume";
  if (path == kPlay && post) return PlayFromBody(request.body);
  if (path == kVolume && post) return VolumeFromBody(request.body);
  if (path.starts_with(kPlay) && path.size() > kPlay.size() + 1 && path[kPlay.size()] == '/') {
    auto name = DecodeComponent(path.substr(kPlay.size() + 1), false);
    if (!name) return Failed(Failure::BadValue, "the name in the path is badly encoded");
    return Command(MakeCommand(RemoteVerb::Play, std::move(*name)));
  }
  if (path.starts_with(kVolume) && path.size() > kVolume.size() + 1 && path[kVolume.size()] == '/') {
    auto text = DecodeComponent(path.substr(kVolume.size() + 1), false);
    auto value = text ? ParseVolume(*text) : std::nullopt;
    if (!value) return Failed(Failure::BadValue, "the volume must be a whole number from 0 to 100");
    return Command(MakeCommand(RemoteVerb::Volume, {}, *value));
  }
  return Failed(Failure::NoSuchPath, "no such path: see GET /sounds, /state, POST /play/<name>, /stop, /stop-all, "
                                     "/pause, /mute, /volume/<0-100>, /mic/mute, and the WebSocket /events");
}

}  // namespace kivora::remote
