// The WebSocket clients of /events and the events on their way to them. The
// window thread publishes; each client has a thread of its own that writes, so a
// client that reads slowly or not at all delays nobody else and never the window:
// its queue is capped, and one that overflows is dropped.
// Publish may be called from any thread; Attach and Detach from the server's.
#pragma once

#include <condition_variable>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct mg_connection;

namespace kivora::remote {

class EventStream {
 public:
  static constexpr size_t kMaxClients = 16;
  static constexpr size_t kMaxWaitingEvents = 512;

  EventStream() = default;
  ~EventStream();  // every client detached first: the server is stopped before this goes
  EventStream(const EventStream&) = delete;
  EventStream& operator=(const EventStream&) = delete;

  // To every client, or to only that one.
  void Publish(const std::string& event, const mg_connection* only = nullptr);

  // A client whose handshake is done; false when there are too many.
  bool Attach(mg_connection* connection);
  // The client's connection closes: its writer ends before this returns.
  void Detach(const mg_connection* connection);
  size_t Clients();

 private:
  struct Client {
    mg_connection* connection = nullptr;
    std::deque<std::string> waiting;
    bool leaving = false;
    bool overflowed = false;
    std::condition_variable wake;
    std::thread writer;
  };
  void Write(Client& client);

  std::mutex mutex_;
  std::list<std::unique_ptr<Client>> clients_;
};

}  // namespace kivora::remote
