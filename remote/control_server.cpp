#include "remote/control_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <civetweb.h>

#include <array>
#include <string_view>

#include "remote/http_request.h"

namespace kivora::remote {
namespace {

// Header bytes, threads (each holds one connection while it is served), and how
// long a connection may stay silent before it is closed.
constexpr char kMaxHeaderBytes[] = "8192";
constexpr char kServerThreads[] = "48";
constexpr char kRequestTimeoutMs[] = "3000";
constexpr char kKeepAliveTimeoutMs[] = "5000";
constexpr char kWebSocketPingMs[] = "10000";

std::optional<std::string_view> Header(const mg_connection* connection, const char* name) {
  const char* value = mg_get_header(connection, name);
  if (!value) return std::nullopt;
  return std::string_view(value);
}

HttpRequestView ViewOf(const mg_connection* connection, std::string_view body) {
  const mg_request_info* info = mg_get_request_info(connection);
  HttpRequestView view;
  view.method = info->request_method ? info->request_method : "";
  view.path = info->local_uri ? info->local_uri : "";
  view.query = info->query_string ? info->query_string : "";
  view.host = Header(connection, "Host");
  view.origin = Header(connection, "Origin");
  view.authorization = Header(connection, "Authorization");
  view.body = body;
  return view;
}

void Respond(mg_connection* connection, int status, const std::string& json) {
  mg_response_header_start(connection, status);
  mg_response_header_add(connection, "Content-Type", "application/json; charset=utf-8", -1);
  mg_response_header_add(connection, "Cache-Control", "no-store", -1);
  const std::string length = std::to_string(json.size());
  mg_response_header_add(connection, "Content-Length", length.c_str(), -1);
  mg_response_header_send(connection);
  mg_write(connection, json.data(), json.size());
}

void RespondRefusal(mg_connection* connection, const Refusal& refusal) {
  Respond(connection, HttpStatus(refusal.failure), ErrorJson(refusal.failure, refusal.reason));
}

// Whatever the library would log goes nowhere: no log file, no console.
int Quiet(const mg_connection*, const char*) { return 1; }

// The library once per process: it starts Winsock, which the port probe needs too.
void StartNetworking() {
  static const unsigned features = mg_init_library(MG_FEATURES_WEBSOCKET);
  (void)features;
}

}  // namespace

bool LoopbackPortTaken(int port) {
  StartNetworking();
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe == INVALID_SOCKET) return false;
  BOOL on = TRUE;
  setsockopt(probe, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof(on));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool taken = bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR &&
                     (WSAGetLastError() == WSAEADDRINUSE || WSAGetLastError() == WSAEACCES);
  closesocket(probe);
  return taken;
}

ControlServer::Outcome ControlServer::Start(int port, const std::string& token) {
  Stop();
  StartNetworking();
  failure_.clear();
  if (LoopbackPortTaken(port)) {
    failure_ = "port in use";
    return Outcome::PortInUse;
  }
  port_ = port;
  token_ = token;
  const std::string listening = "127.0.0.1:" + std::to_string(port);
  const std::array<const char*, 27> options{
      "listening_ports", listening.c_str(),
      "num_threads", kServerThreads,
      "max_request_size", kMaxHeaderBytes,
      "request_timeout_ms", kRequestTimeoutMs,
      "enable_keep_alive", "yes",
      "keep_alive_timeout_ms", kKeepAliveTimeoutMs,
      "websocket_timeout_ms", kWebSocketPingMs,
      "enable_websocket_ping_pong", "yes",
      "decode_url", "no",
      // No CORS header, ever: a web page gets no answer it may read.
      "access_control_allow_origin", "",
      "access_control_allow_methods", "",
      "access_control_allow_headers", "",
      "enable_directory_listing", "no",
      nullptr};
  mg_callbacks callbacks{};
  callbacks.log_message = Quiet;
  mg_init_data init{&callbacks, this, const_cast<const char**>(options.data())};
  char errorText[256] = {};
  mg_error_data error{nullptr, errorText, sizeof(errorText)};
  context_ = mg_start2(&init, &error);
  if (!context_) {
    failure_ = errorText[0] ? errorText : "the server did not start";
    return LoopbackPortTaken(port) ? Outcome::PortInUse : Outcome::Failed;
  }
  mg_set_request_handler(context_, "/", HandleRequest, this);
  mg_set_websocket_handler(context_, "/events", ConnectEvents, EventsReady, EventsData, EventsClosed, this);
  return Outcome::Started;
}

void ControlServer::Stop() {
  if (!context_) return;
  mg_stop(context_);  // every connection closes and every thread ends, the event writers' clients detached
  context_ = nullptr;
}

int ControlServer::HandleRequest(mg_connection* connection, void* self) {
  return static_cast<ControlServer*>(self)->Serve(connection);
}

int ControlServer::Serve(mg_connection* connection) {
  const mg_request_info* info = mg_get_request_info(connection);
  std::string body;
  if (info->content_length > static_cast<long long>(kMaxBodyBytes)) {
    RespondRefusal(connection, {Failure::TooLarge, "the body is larger than 4096 bytes"});
    return 413;
  }
  if (info->content_length > 0) {
    body.resize(static_cast<size_t>(info->content_length));
    size_t got = 0;
    while (got < body.size()) {
      const int n = mg_read(connection, body.data() + got, body.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    body.resize(got);
  }
  const HttpRequestView view = ViewOf(connection, body);
  if (Refusal refusal = CheckAccess(view, token_, port_)) {
    RespondRefusal(connection, refusal);
    return HttpStatus(refusal.failure);
  }
  RoutedRequest routed = RouteRequest(view);
  if (routed.refusal) {
    RespondRefusal(connection, routed.refusal);
    return HttpStatus(routed.refusal.failure);
  }
  if (routed.events) {
    RespondRefusal(connection, {Failure::BadValue, "/events is a WebSocket: connect with an Upgrade request"});
    return 400;
  }
  const Answer answer = control_.Submit(routed.command, kWindowWaitMs);
  Respond(connection, HttpStatus(answer.failure), AnswerJson(answer, lengths_));
  return HttpStatus(answer.failure);
}

int ControlServer::ConnectEvents(const mg_connection* connection, void* self) {
  auto* server = static_cast<ControlServer*>(self);
  const HttpRequestView view = ViewOf(connection, {});
  Refusal refusal = CheckAccess(view, server->token_, server->port_);
  if (!refusal && server->events_.Clients() >= EventStream::kMaxClients) {
    refusal = {Failure::Busy, "too many event clients"};
  }
  if (!refusal) return 0;
  // The handshake stops here; the answer says why, as any other request's would. The
  // library's header helpers are not for a WebSocket request: the answer is written whole.
  const std::string body = ErrorJson(refusal.failure, refusal.reason);
  const std::string answer = "HTTP/1.1 " + std::to_string(HttpStatus(refusal.failure)) +
                             " Refused\r\nContent-Type: application/json; charset=utf-8\r\nCache-Control: no-store\r\n"
                             "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  mg_write(const_cast<mg_connection*>(connection), answer.data(), answer.size());
  return 1;
}

void ControlServer::EventsReady(mg_connection* connection, void* self) {
  auto* server = static_cast<ControlServer*>(self);
  if (!server->events_.Attach(connection)) {
    mg_websocket_write(connection, MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE, "", 0);
    return;
  }
  // The first message tells the state as it is, so a client needs no request of its own.
  const Answer answer = server->control_.Submit(MakeCommand(RemoteVerb::State), kWindowWaitMs);
  if (answer.failure == Failure::None) {
    const std::string hello = "{\"event\":\"hello\",\"state\":" + AnswerJson(answer, server->lengths_) + "}";
    server->events_.Publish(hello, connection);
  }
}

int ControlServer::EventsData(mg_connection*, int bits, char*, size_t, void*) {
  // Clients have nothing to say; a close frame ends the connection.
  return (bits & 0x0F) == MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE ? 0 : 1;
}

void ControlServer::EventsClosed(const mg_connection* connection, void* self) {
  static_cast<ControlServer*>(self)->events_.Detach(connection);
}

}  // namespace kivora::remote
