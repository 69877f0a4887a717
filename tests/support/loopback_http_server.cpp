#include "loopback_http_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace kivora::testing {
namespace {

struct WinsockSession {
  WinsockSession() {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

bool SendAll(SOCKET socket, const char* data, size_t size) {
  while (size > 0) {
    const int sent = send(socket, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace

HttpReply Reply(std::string_view status, std::string_view contentType, std::string body, bool withLength) {
  std::string head = "HTTP/1.0 " + std::string(status) + "\r\nContent-Type: " + std::string(contentType) + "\r\n";
  if (withLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  head += "Connection: close\r\n\r\n";
  return HttpReply{head, std::move(body)};
}

HttpReply Silence() {
  HttpReply reply;
  reply.answer = false;
  return reply;
}

LoopbackHttpServer::LoopbackHttpServer(HttpReply reply) : reply_(std::move(reply)) {
  static WinsockSession winsock;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  listen(listener, 8);
  int size = sizeof(address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
  listener_ = listener;
  thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stopping_ = true;
  closesocket(static_cast<SOCKET>(listener_));
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (std::uintptr_t client : silentClients_) closesocket(static_cast<SOCKET>(client));
  }
  thread_.join();
}

std::wstring LoopbackHttpServer::Address(std::string_view path) const {
  return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
}

std::string LoopbackHttpServer::LastRequest() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lastRequest_;
}

void LoopbackHttpServer::Serve() {
  while (!stopping_) {
    SOCKET client = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    ++connections_;
    Answer(client);
  }
}

void LoopbackHttpServer::Answer(std::uintptr_t clientSocket) {
  const auto client = static_cast<SOCKET>(clientSocket);
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const int received = recv(client, buffer, sizeof(buffer), 0);
    if (received <= 0) break;
    request.append(buffer, static_cast<size_t>(received));
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    lastRequest_ = request;
    if (!reply_.answer) {
      silentClients_.push_back(clientSocket);
      return;
    }
  }
  bool open = SendAll(client, reply_.head.data(), reply_.head.size()) &&
              SendAll(client, reply_.body.data(), reply_.body.size());
  if (open) bytesSent_ += reply_.head.size() + reply_.body.size();
  const std::string filler(64 * 1024, 'x');
  for (std::uint64_t left = reply_.streamedBytes; open && left > 0 && !stopping_;) {
    const size_t block = static_cast<size_t>(std::min<std::uint64_t>(left, filler.size()));
    open = SendAll(client, filler.data(), block);
    if (open) bytesSent_ += block;
    left -= block;
  }
  shutdown(client, SD_SEND);
  closesocket(client);
}

}  // namespace kivora::testing
