#!/usr/bin/env python3
"""Load on Kivora's control server, from Linux.
  remote_load.py pipeline <port> <token> <count>
      <count> volume commands written at once on one connection (HTTP pipelining),
      then every answer read: prints "answered <n> in_order <n>", an answer being in
      order when it carries the volume its request asked for.
  remote_load.py flood <port> <token> <clients> <silent>
      <silent> connections that never send a byte, held open, and <clients> that
      each open a connection at once and ask GET /state: prints "served <n>"."""
import json
import socket
import sys
import threading


def read_answer(stream):
    """One HTTP answer from a buffered socket file: (status, body)."""
    status = stream.readline()
    if not status:
        return None
    length = 0
    while True:
        line = stream.readline()
        if line in (b"\r\n", b""):
            break
        name, _, value = line.decode().partition(":")
        if name.strip().lower() == "content-length":
            length = int(value)
    return int(status.split()[1]), stream.read(length)


def pipeline(port, token, count):
    sock = socket.create_connection(("127.0.0.1", port), timeout=60)
    volumes = [(i * 37) % 101 for i in range(count)]
    requests = b"".join(
        f"POST /volume/{v} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nAuthorization: Bearer {token}\r\n"
        f"Content-Length: 0\r\n\r\n".encode() for v in volumes)
    sender = threading.Thread(target=sock.sendall, args=(requests,))
    sender.start()
    stream = sock.makefile("rb")
    answered = in_order = 0
    for wanted in volumes:
        answer = read_answer(stream)
        if answer is None:
            break
        answered += 1
        status, body = answer
        if status == 200 and json.loads(body)["state"]["volume"] == wanted:
            in_order += 1
    sender.join()
    print(f"answered {answered} in_order {in_order}")


def flood(port, token, clients, silent):
    quiet = [socket.create_connection(("127.0.0.1", port), timeout=30) for _ in range(silent)]
    served = []
    start = threading.Barrier(clients)

    def client():
        start.wait()
        try:
            sock = socket.create_connection(("127.0.0.1", port), timeout=30)
            sock.sendall(f"GET /state HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nAuthorization: Bearer {token}\r\n"
                         f"Connection: close\r\n\r\n".encode())
            answer = read_answer(sock.makefile("rb"))
            if answer and answer[0] == 200 and "volume" in json.loads(answer[1]):
                served.append(1)
            sock.close()
        except OSError:
            pass

    threads = [threading.Thread(target=client) for _ in range(clients)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    print(f"served {len(served)}")
    for sock in quiet:
        sock.close()


if __name__ == "__main__":
    what, port, token = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    if what == "pipeline":
        pipeline(port, token, int(sys.argv[4]))
    else:
        flood(port, token, int(sys.argv[4]), int(sys.argv[5]))
