// A small HTTP server on 127.0.0.1 for tests: it answers every connection with
// one scripted reply, or accepts and never answers. Started by its constructor,
// stopped by its destructor.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kivora::testing {

struct HttpReply {
  std::string head;  // status line and headers, up to and including the blank line
  std::string body;
  // Filler bytes sent after the body, in 64 KiB blocks, until the client stops reading.
  std::uint64_t streamedBytes = 0;
  bool answer = true;  // false: accept, read the request and keep silent until stopped
};

// A reply with a status and, unless `withLength` is false, a Content-Length header.
HttpReply Reply(std::string_view status, std::string_view contentType, std::string body, bool withLength = true);

// Accepts the connection, reads the request and never answers.
HttpReply Silence();

class LoopbackHttpServer {
 public:
  explicit LoopbackHttpServer(HttpReply reply);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::wstring Address(std::string_view path = "/banner") const;
  // The request head of the latest connection, as received.
  std::string LastRequest() const;
  std::uint64_t BytesSent() const { return bytesSent_; }
  int Connections() const { return connections_; }

 private:
  void Serve();
  void Answer(std::uintptr_t client);

  HttpReply reply_;
  std::uintptr_t listener_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> bytesSent_{0};
  std::atomic<int> connections_{0};
  mutable std::mutex lock_;
  std::string lastRequest_;
  std::vector<std::uintptr_t> silentClients_;
  std::thread thread_;
};

}  // namespace kivora::testing
