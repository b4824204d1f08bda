#!/usr/bin/env python3
# SPDX-License-Identifier: Zlib
"""Writes the binary files of examples/assets: a texture, a sound and a mesh
made here from code, so every file of the example tree is our own."""
import math
import os
import struct
import zlib

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "assets")


def write(relative, data):
    path = os.path.join(root, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def png(width, height, pixel):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def wav(seconds, frequency, rate=8000):
    samples = b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * frequency * i / rate)))
                       for i in range(int(seconds * rate)))
    return (b"RIFF" + struct.pack("<I", 36 + len(samples)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16) + b"data" +
            struct.pack("<I", len(samples)) + samples)


write("textures/checker.png", png(16, 16, lambda x, y: (200, 40, 40) if (x // 4 + y // 4) % 2 else (30, 30, 30)))
write("textures/ui/gradient.png", png(32, 4, lambda x, y: (x * 8, x * 8, 255)))
write("sounds/beep.wav", wav(0.2, 440))
write("sounds/ui/click.wav", wav(0.05, 1200))


def font():
    """A one-glyph TrueType font (a square), made with fontTools when it is
    installed (Debian python3-fonttools); the committed file stands otherwise."""
    try:
        from fontTools.fontBuilder import FontBuilder
        from fontTools.pens.ttGlyphPen import TTGlyphPen
    except ImportError:
        return
    builder = FontBuilder(1000, isTTF=True)
    builder.setupGlyphOrder([".notdef", "square"])
    builder.setupCharacterMap({ord("#"): "square"})
    glyphs = {}
    for name in (".notdef", "square"):
        pen = TTGlyphPen(None)
        pen.moveTo((100, 0))
        pen.lineTo((100, 700))
        pen.lineTo((800, 700))
        pen.lineTo((800, 0))
        pen.closePath()
        glyphs[name] = pen.glyph()
    builder.setupGlyf(glyphs)
    builder.setupHorizontalMetrics({name: (900, 100) for name in glyphs})
    builder.setupHorizontalHeader(ascent=800, descent=-200)
    builder.setupNameTable({"familyName": "Tov Blocks", "styleName": "Regular"})
    builder.setupOS2()
    builder.setupPost()
    path = os.path.join(root, "fonts/blocks.ttf")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    builder.save(path)


font()
