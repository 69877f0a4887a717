#!/usr/bin/env python3
"""Writes Kivora's skin data (assets/kivora.she): a light, calm palette with one blue accent.

Format: b".SHE\\0", version 1, u16 entry count, entries (u16 role, u32 0x00BBGGRR),
u32 FNV-1a of everything before it; all little-endian. Roles as in skinlib/skin_format.h.
"""
import pathlib
import struct

ROLES = [  # role number, name, (red, green, blue)
    (1, "background", (0xF4, 0xF6, 0xFA)),
    (2, "caption", (0x1B, 0x25, 0x3B)),
    (3, "caption text", (0xFF, 0xFF, 0xFF)),
    (4, "text", (0x1F, 0x29, 0x37)),
    (5, "muted text", (0x5B, 0x64, 0x73)),
    (6, "button face", (0xFF, 0xFF, 0xFF)),
    (7, "button border", (0xCC, 0xD3, 0xDF)),
    (8, "button hover", (0xE6, 0xEE, 0xFD)),
    (9, "button pressed", (0x25, 0x63, 0xEB)),
    (10, "button pressed text", (0xFF, 0xFF, 0xFF)),
    (11, "accent", (0x25, 0x63, 0xEB)),
    (12, "track", (0xDD, 0xE2, 0xEA)),
    (13, "link", (0x1D, 0x4E, 0xD8)),
]


def fnv1a(data: bytes) -> int:
    h = 2166136261
    for b in data:
        h = ((h ^ b) * 16777619) & 0xFFFFFFFF
    return h


def main() -> None:
    body = b".SHE\0" + struct.pack("<BH", 1, len(ROLES))
    for role, _name, (r, g, b) in ROLES:
        body += struct.pack("<HI", role, r | (g << 8) | (b << 16))
    data = body + struct.pack("<I", fnv1a(body))
    out = pathlib.Path(__file__).resolve().parents[2] / "assets" / "kivora.she"
    out.write_bytes(data)
    print(f"{out}: {len(data)} bytes")


if __name__ == "__main__":
    main()
