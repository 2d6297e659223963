#!/usr/bin/env python3
"""Draws the editions' 32x32 logos (a token with a key ring) as PNG files."""
import math
import struct
import zlib
from pathlib import Path

SIZE = 32


def png(pixels):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def logo(body, accent):
    pixels = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            # Rounded token body on the right, ring on the left.
            inside_body = 12 <= x <= 29 and 6 <= y <= 25 and not (
                (x in (12, 29)) and (y in (6, 25)))
            ring = abs(math.hypot(x - 8, y - 16) - 5.5) < 1.6
            chip = 17 <= x <= 24 and 11 <= y <= 20
            if chip:
                pixels[y][x] = accent + (255,)
            elif inside_body:
                pixels[y][x] = body + (255,)
            elif ring:
                pixels[y][x] = body + (255,)
    return png(pixels)


EDITIONS = {
    "kelvo_plugin": ((33, 87, 160), (242, 200, 60)),
    "valdorino_plugin": ((30, 130, 76), (235, 235, 235)),
}

STYLE = """QMessageBox[qss="dialog"] {{ background-color: {background}; }}
QMessageBox[qss="dialog"] QPushButton {{ min-width: 72px; padding: 4px 12px; }}
"""

if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    for edition, (body, accent) in EDITIONS.items():
        folder = here / edition
        folder.mkdir(exist_ok=True)
        (folder / "logo_32x32.png").write_bytes(logo(body, accent))
        background = "#f4f7fb" if edition == "kelvo_plugin" else "#f3f8f4"
        (folder / "style.css").write_text(STYLE.format(background=background))
