#!/usr/bin/env python3
"""A small WebSocket client of Kivora's /events, from the standard library alone:
the handshake, text frames in, pongs out for the server's pings, and a close.
Each message is written to the output file as one line, "<time> <json>", where the
time is CLOCK_MONOTONIC_RAW in 100 ns units (the clock of Wine's performance counter).
  ws_events.py <port> <token> <output file> [seconds] [extra header ...]
With an extra header the handshake may be refused: the server's status line is then
written to the output file and the client exits 3."""
import base64
import os
import socket
import struct
import sys
import time


def now_100ns():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 100


def send_frame(sock, opcode, payload=b""):
    mask = os.urandom(4)
    header = bytes([0x80 | opcode])
    if len(payload) < 126:
        header += bytes([0x80 | len(payload)])
    else:
        header += bytes([0x80 | 126]) + struct.pack(">H", len(payload))
    sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))


def main():
    port, token, output = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 3600
    extra = sys.argv[5:]
    sock = socket.create_connection(("127.0.0.1", port), timeout=5)
    key = base64.b64encode(os.urandom(16)).decode()
    request = (f"GET /events?token={token} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
               f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n")
    request += "".join(h + "\r\n" for h in extra) + "\r\n"
    sock.sendall(request.encode())
    answer = b""
    while b"\r\n\r\n" not in answer:
        chunk = sock.recv(4096)
        if not chunk:
            break
        answer += chunk
    status = answer.split(b"\r\n", 1)[0].decode(errors="replace")
    with open(output, "a", encoding="utf-8") as out:
        if " 101 " not in status:
            out.write(status + "\n")
            return 3
        out.write("open\n")
        out.flush()
        buffer = bytearray(answer.split(b"\r\n\r\n", 1)[1])
        deadline = time.monotonic() + seconds

        def fill(count):
            """Until count bytes wait; False when the time is up first."""
            while len(buffer) < count:
                if time.monotonic() >= deadline:
                    return False
                try:
                    chunk = sock.recv(65536)
                except socket.timeout:
                    continue
                if not chunk:
                    raise ConnectionError("closed")
                buffer.extend(chunk)
            return True

        sock.settimeout(0.5)
        try:
            while fill(2):
                length, at = buffer[1] & 0x7F, 2
                need = {126: 2, 127: 8}.get(length, 0)
                if not fill(at + need):
                    break
                if need:
                    length = int.from_bytes(buffer[2:2 + need], "big")
                at += need
                if not fill(at + length):
                    break
                opcode, payload = buffer[0] & 0x0F, bytes(buffer[at:at + length])
                del buffer[:at + length]
                if opcode == 0x1:
                    out.write(f"{now_100ns()} {payload.decode()}\n")
                    out.flush()
                elif opcode == 0x9:
                    send_frame(sock, 0xA, payload)
                elif opcode == 0x8:
                    return 0
        except (ConnectionError, OSError):
            return 0
        send_frame(sock, 0x8, b"\x03\xe8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
