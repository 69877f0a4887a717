#include "remote/event_stream.h"

#include <civetweb.h>

namespace kivora::remote {

EventStream::~EventStream() {
  std::list<std::unique_ptr<Client>> left;
  {
    std::lock_guard lock(mutex_);
    for (auto& client : clients_) {
      client->leaving = true;
      client->wake.notify_all();
    }
    left.swap(clients_);
  }
  for (auto& client : left) {
    if (client->writer.joinable()) client->writer.join();
  }
}

void EventStream::Publish(const std::string& event, const mg_connection* only) {
  std::lock_guard lock(mutex_);
  for (auto& client : clients_) {
    if (client->leaving || client->overflowed || (only && client->connection != only)) continue;
    if (client->waiting.size() >= kMaxWaitingEvents) {
      client->overflowed = true;  // its writer closes it
    } else {
      client->waiting.push_back(event);
    }
    client->wake.notify_one();
  }
}

bool EventStream::Attach(mg_connection* connection) {
  std::lock_guard lock(mutex_);
  if (clients_.size() >= kMaxClients) return false;
  auto client = std::make_unique<Client>();
  client->connection = connection;
  Client& added = *client;
  clients_.push_back(std::move(client));
  added.writer = std::thread([this, &added] { Write(added); });
  return true;
}

void EventStream::Detach(const mg_connection* connection) {
  std::unique_ptr<Client> gone;
  {
    std::lock_guard lock(mutex_);
    for (auto it = clients_.begin(); it != clients_.end(); ++it) {
      if ((*it)->connection != connection) continue;
      gone = std::move(*it);
      clients_.erase(it);
      break;
    }
    if (!gone) return;
    gone->leaving = true;
    gone->wake.notify_all();
  }
  if (gone->writer.joinable()) gone->writer.join();
}

size_t EventStream::Clients() {
  std::lock_guard lock(mutex_);
  return clients_.size();
}

// Writes block for at most the server's request time-out; a client that takes
// longer, or falls kMaxWaitingEvents behind, is closed.
void EventStream::Write(Client& client) {
  std::unique_lock lock(mutex_);
  for (;;) {
    client.wake.wait(lock, [&] { return client.leaving || client.overflowed || !client.waiting.empty(); });
    if (client.leaving) return;
    if (client.overflowed) break;
    std::string event = std::move(client.waiting.front());
    client.waiting.pop_front();
    lock.unlock();
    const int written = mg_websocket_write(client.connection, MG_WEBSOCKET_OPCODE_TEXT, event.data(), event.size());
    lock.lock();
    if (written <= 0) break;
  }
  // Closing makes the server's reading thread end the connection, which detaches it.
  if (!client.leaving) {
    lock.unlock();
    mg_websocket_write(client.connection, MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE, "", 0);
    lock.lock();
  }
  client.wake.wait(lock, [&] { return client.leaving; });
}

}  // namespace kivora::remote
