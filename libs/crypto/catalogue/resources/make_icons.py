#!/usr/bin/env python3
"""Draws the file-type icons (32x32 RGBA PNG): a sheet of paper with a folded corner and a
coloured band carrying the extension in a 3x5 pixel font. Output is deterministic."""

import os
import struct
import sys
import zlib

SIZE = 32

GLYPHS = {
    "A": ["010", "101", "111", "101", "101"], "B": ["110", "101", "110", "101", "110"],
    "C": ["011", "100", "100", "100", "011"], "D": ["110", "101", "101", "101", "110"],
    "E": ["111", "100", "110", "100", "111"], "F": ["111", "100", "110", "100", "100"],
    "G": ["011", "100", "101", "101", "011"], "H": ["101", "101", "111", "101", "101"],
    "I": ["111", "010", "010", "010", "111"], "J": ["001", "001", "001", "101", "010"],
    "K": ["101", "101", "110", "101", "101"], "L": ["100", "100", "100", "100", "111"],
    "M": ["101", "111", "111", "101", "101"], "N": ["110", "101", "101", "101", "101"],
    "O": ["010", "101", "101", "101", "010"], "P": ["110", "101", "110", "100", "100"],
    "Q": ["010", "101", "101", "110", "011"], "R": ["110", "101", "110", "101", "101"],
    "S": ["011", "100", "010", "001", "110"], "T": ["111", "010", "010", "010", "010"],
    "U": ["101", "101", "101", "101", "111"], "V": ["101", "101", "101", "101", "010"],
    "W": ["101", "101", "111", "111", "101"], "X": ["101", "101", "010", "101", "101"],
    "Y": ["101", "101", "010", "010", "010"], "Z": ["111", "001", "010", "100", "111"],
    "4": ["101", "101", "111", "001", "001"], "+": ["000", "010", "111", "010", "000"],
}

# Icon name -> label and band colour; families share a hue family but never a colour.
ICONS = {
    "avi": ("AVI", (142, 68, 173)), "bmp": ("BMP", (22, 160, 133)),
    "crt": ("CRT", (192, 57, 43)), "csr": ("CSR", (211, 84, 0)),
    "csv": ("CSV", (39, 174, 96)), "doc": ("DOC", (41, 98, 255)),
    "exe": ("EXE", (52, 73, 94)), "flv": ("FLV", (155, 89, 182)),
    "gif": ("GIF", (26, 188, 156)), "gz": ("GZ", (127, 140, 141)),
    "htm": ("HTM", (230, 126, 34)), "jpg": ("JPG", (17, 122, 101)),
    "key": ("KEY", (241, 196, 15)), "mkv": ("MKV", (108, 52, 131)),
    "mov": ("MOV", (125, 60, 152)), "mp4": ("MP4", (165, 105, 189)),
    "mpg": ("MPG", (187, 143, 206)), "ods": ("ODS", (30, 132, 73)),
    "pcx": ("PCX", (14, 102, 85)), "pdf": ("PDF", (203, 67, 53)),
    "png": ("PNG", (72, 201, 176)), "pps": ("PPS", (220, 118, 51)),
    "ppt": ("PPT", (186, 74, 0)), "rar": ("RAR", (93, 109, 126)),
    "rtf": ("RTF", (52, 152, 219)), "run": ("RUN", (44, 62, 80)),
    "sig": ("SIG", (176, 58, 46)), "tgz": ("TGZ", (112, 123, 124)),
    "tif": ("TIF", (69, 179, 157)), "txt": ("TXT", (86, 101, 115)),
    "xls": ("XLS", (35, 155, 86)), "xml": ("XML", (243, 156, 18)),
    "zip": ("ZIP", (149, 165, 166)), "unw": ("UNW", (146, 43, 33)),
    "xml+sig": ("X+S", (202, 111, 30)),
}

PAPER = (250, 250, 250, 255)
EDGE = (120, 120, 120, 255)
FOLD = (210, 210, 210, 255)
WHITE = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)


def draw(label, colour):
    px = [[CLEAR] * SIZE for _ in range(SIZE)]
    left, right, top, bottom, fold = 5, 26, 2, 29, 7
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x > right - fold + (y - top):
                continue  # cut-off corner
            edge = x in (left, right) or y in (top, bottom) or x == right - fold + (y - top)
            px[y][x] = EDGE if edge else PAPER
    for y in range(top, top + fold + 1):
        for x in range(right - fold, right - fold + (y - top) + 1):
            px[y][x] = EDGE if x == right - fold or y == top + fold else FOLD
    # Text lines on the sheet.
    for y in (10, 13, 16):
        for x in range(left + 3, right - 3):
            px[y][x] = (200, 200, 200, 255)
    band = colour + (255,)
    for y in range(19, 28):
        for x in range(2, 30):
            px[y][x] = band
    width = len(label) * 4 - 1
    x0 = (SIZE - width) // 2
    for i, ch in enumerate(label):
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    px[21 + row][x0 + i * 4 + col] = WHITE
    return px


def png(pixels):
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__),
                                                             "file_extension")
    os.makedirs(out, exist_ok=True)
    for name, (label, colour) in ICONS.items():
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(png(draw(label, colour)))
    with open(os.path.join(os.path.dirname(out), "file_extension.qrc"), "w") as f:
        f.write('<!DOCTYPE RCC>\n<RCC version="1.0">\n<qresource prefix="/file_extension">\n')
        for name in sorted(ICONS):
            f.write('    <file alias="%s.png">file_extension/%s.png</file>\n' % (name, name))
        f.write("</qresource>\n</RCC>\n")


if __name__ == "__main__":
    main()
