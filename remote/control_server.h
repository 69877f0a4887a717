// The local control server: HTTP and the WebSocket /events on 127.0.0.1 alone,
// served by civetweb's threads. Each request is judged and read by pure code
// (http_request.h), then handed to the window thread through the RemoteControl,
// and answered once it has run there.
// Started and stopped on the window thread; the request handlers run on the
// server's threads and touch only the RemoteControl's Submit and the EventStream.
#pragma once

#include <string>

#include "remote/clip_lengths.h"
#include "remote/event_stream.h"
#include "remote/remote_control.h"

struct mg_context;
struct mg_connection;

namespace kivora::remote {

class ControlServer {
 public:
  // How long a request waits for the window before it is answered "busy".
  static constexpr unsigned kWindowWaitMs = 5000;

  ControlServer(RemoteControl& control, EventStream& events, ClipLengths& lengths)
      : control_(control), events_(events), lengths_(lengths) {}
  ~ControlServer() { Stop(); }
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  enum class Outcome { Started, PortInUse, Failed };
  // Listens on 127.0.0.1:port with exclusive use of the port. The token is UTF-8.
  Outcome Start(int port, const std::string& token);
  // Closes every connection and waits for the server's threads.
  void Stop();
  bool Running() const { return context_ != nullptr; }
  int Port() const { return port_; }
  // Why the last Start failed, in a few words (English, from the library).
  const std::string& FailureText() const { return failure_; }

 private:
  static int HandleRequest(mg_connection* connection, void* self);
  static int ConnectEvents(const mg_connection* connection, void* self);
  static void EventsReady(mg_connection* connection, void* self);
  static int EventsData(mg_connection* connection, int bits, char* data, size_t length, void* self);
  static void EventsClosed(const mg_connection* connection, void* self);
  int Serve(mg_connection* connection);

  RemoteControl& control_;
  EventStream& events_;
  ClipLengths& lengths_;
  mg_context* context_ = nullptr;
  int port_ = 0;
  std::string token_;  // read by the server's threads; set only while none runs
  std::string failure_;
};

// Whether something else holds the loopback port now (tried with a socket of our own).
bool LoopbackPortTaken(int port);

}  // namespace kivora::remote
