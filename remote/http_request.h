// An HTTP request to the control server, judged and read into a command: the
// Origin, Host and token rules first, then the path, its query and a JSON body.
// The server library hands over the raw parts; everything else happens here, as
// pure code over untrusted bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "remote/remote_command.h"

namespace kivora::remote {

// The largest body read; the commands need none beyond a small JSON object.
inline constexpr size_t kMaxBodyBytes = 4096;

struct HttpRequestView {
  std::string_view method;
  std::string_view path;   // as sent, percent-encoded, without the query
  std::string_view query;  // after '?', or empty
  std::optional<std::string_view> host;
  std::optional<std::string_view> origin;
  std::optional<std::string_view> authorization;
  std::string_view body;
};

struct Refusal {
  Failure failure = Failure::None;
  std::string reason;  // one line, English, for the JSON answer
  explicit operator bool() const { return failure != Failure::None; }
};

// The rules every request meets, the event stream's included, in this order: any
// Origin header is refused (only a web page sends one, and no page may drive
// Kivora), Host must name the loopback address or localhost with the server's
// port (against DNS rebinding), and the token must come as "Authorization:
// Bearer <token>" or as the query's token parameter. An empty token admits nobody.
Refusal CheckAccess(const HttpRequestView& request, std::string_view token, int port);

struct RoutedRequest {
  RemoteCommand command;
  bool events = false;  // GET /events: the WebSocket stream, not a command
  Refusal refusal;
};

// What an admitted request asks for. Every command is also taken as GET (browser
// buttons and some controllers send nothing else); POST /play and POST /volume may
// carry their argument as a JSON body instead ({"name": "按钮65"}, {"volume": 40}).
RoutedRequest RouteRequest(const HttpRequestView& request);

// Percent-decoding of a path segment or query value ('+' stays '+' in a path and
// is a space in a query); nothing for a broken escape, a NUL or bytes that are no UTF-8.
std::optional<std::wstring> DecodeComponent(std::string_view text, bool query);

// The decoded value of key in an application/x-www-form-urlencoded query; the
// first one when it repeats, nothing when absent or undecodable.
std::optional<std::wstring> QueryValue(std::string_view query, std::string_view key);

// "0".."100" exactly: no sign, no spaces, at most three digits.
std::optional<int> ParseVolume(std::wstring_view text);

// Equal texts, compared in a time that does not depend on where they differ.
bool SameSecret(std::string_view a, std::string_view b);

}  // namespace kivora::remote
