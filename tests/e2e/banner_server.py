#!/usr/bin/env python3
"""A small HTTP server for the end-to-end banner tests, on 127.0.0.1.

    banner_server.py BANNER_FILE LOG_FILE

Prints its port on the first line of its output, then serves until killed:
  /banner.jpg  the banner file, with its Content-Length
  /silent      reads the request and never answers
  /huge        announces and streams 1 GiB of filler, generated on the fly
  /stream      the same gigabyte without a Content-Length
Each request line is appended to LOG_FILE, and for /huge and /stream also
"<name> sent <bytes>" once the client stops reading.
"""
import socket
import sys
import threading

GIGABYTE = 1 << 30


def log(path, line):
    with open(path, "a") as out:
        out.write(line + "\n")


def serve(client, banner, log_path):
    with client:
        request = b""
        while b"\r\n\r\n" not in request:
            data = client.recv(4096)
            if not data:
                return
            request += data
        line = request.split(b"\r\n", 1)[0].decode("latin-1")
        log(log_path, line)
        path = line.split(" ")[1] if " " in line else ""
        if path.startswith("/silent"):
            threading.Event().wait()
        elif path.startswith("/huge") or path.startswith("/stream"):
            name = path[1:].split("?")[0]
            length = b"Content-Length: %d\r\n" % GIGABYTE if name == "huge" else b""
            client.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n" + length + b"\r\n")
            block = b"\0" * 65536
            sent = 0
            try:
                while sent < GIGABYTE:
                    client.sendall(block)
                    sent += len(block)
            except OSError:
                pass
            log(log_path, "%s sent %d" % (name, sent))
        elif path.startswith("/banner.jpg"):
            client.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                           b"Content-Length: %d\r\n\r\n" % len(banner) + banner)
        else:
            body = b"<html><body>Not found</body></html>"
            client.sendall(b"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n"
                           b"Content-Length: %d\r\n\r\n" % len(body) + body)


def main():
    banner = open(sys.argv[1], "rb").read()
    log_path = sys.argv[2]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client, banner, log_path), daemon=True).start()


if __name__ == "__main__":
    main()
