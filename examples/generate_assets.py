#!/usr/bin/env python3
# SPDX-License-Identifier: Zlib
"""Writes the binary files of examples/assets: textures, sounds, a font and
a model made here from code, so every file of the example tree is our own."""
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


def chime(seconds=1.0, rate=44100):
    """Two bell-like partials a side, decaying: a stereo 44.1 kHz source."""
    frames = []
    for i in range(int(seconds * rate)):
        t = i / rate
        envelope = math.exp(-4 * t) * min(1.0, t * 200)
        left = math.sin(2 * math.pi * 880 * t) + 0.5 * math.sin(2 * math.pi * 1320 * t)
        right = math.sin(2 * math.pi * 660 * t) + 0.5 * math.sin(2 * math.pi * 1760 * t)
        frames.append(struct.pack("<hh", int(9830 * envelope * left), int(9830 * envelope * right)))
    samples = b"".join(frames)
    return (b"RIFF" + struct.pack("<I", 36 + len(samples)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" +
            struct.pack("<I", len(samples)) + samples)


def rock_glb(subdivisions=3):
    """A lumpy icosphere with normals and texture coordinates, as binary glTF."""
    t = (1 + 5 ** 0.5) / 2
    points = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t),
              (0, -1, -t), (0, 1, -t), (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    points = [tuple(c / math.sqrt(sum(v * v for v in p)) for c in p) for p in points]
    faces = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4),
             (11, 10, 2), (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8),
             (3, 8, 9), (4, 9, 5), (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    for _ in range(subdivisions):
        middle = {}

        def between(a, b):
            key = (min(a, b), max(a, b))
            if key not in middle:
                m = [(points[a][i] + points[b][i]) / 2 for i in range(3)]
                length = math.sqrt(sum(v * v for v in m))
                points.append(tuple(v / length for v in m))
                middle[key] = len(points) - 1
            return middle[key]
        faces = [f for a, b, c in faces for f in (
            (a, between(a, b), between(c, a)), (b, between(b, c), between(a, b)),
            (c, between(c, a), between(b, c)),
            (between(a, b), between(b, c), between(c, a)))]
    lump = [1 + 0.12 * math.sin(5 * x + 1) * math.sin(4 * y + 2) * math.sin(6 * z) for x, y, z in points]
    positions = [tuple(c * s for c in p) for p, s in zip(points, lump)]
    uvs = [(0.5 + math.atan2(z, x) / (2 * math.pi), 0.5 - math.asin(max(-1, min(1, y))) / math.pi)
           for x, y, z in points]
    binary = b"".join(struct.pack("<3f", *p) for p in positions)
    binary += b"".join(struct.pack("<3f", *p) for p in points)  # normals: the sphere's
    binary += b"".join(struct.pack("<2f", *uv) for uv in uvs)
    binary += b"".join(struct.pack("<3H", *f) for f in faces)
    binary += b"\0" * (-len(binary) % 4)
    n = len(points)
    lows = [min(p[i] for p in positions) for i in range(3)]
    highs = [max(p[i] for p in positions) for i in range(3)]
    views = [(0, 12 * n), (12 * n, 12 * n), (24 * n, 8 * n), (32 * n, 6 * len(faces))]
    json = ('{"asset":{"version":"2.0","generator":"tov examples"},"scene":0,'
            '"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0,"name":"rock"}],'
            '"meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},'
            '"indices":3}]}],'
            '"buffers":[{"byteLength":%d}],"bufferViews":[%s],"accessors":['
            '{"bufferView":0,"componentType":5126,"count":%d,"type":"VEC3","min":[%s],"max":[%s]},'
            '{"bufferView":1,"componentType":5126,"count":%d,"type":"VEC3"},'
            '{"bufferView":2,"componentType":5126,"count":%d,"type":"VEC2"},'
            '{"bufferView":3,"componentType":5123,"count":%d,"type":"SCALAR"}]}' % (
                len(binary), ",".join('{"buffer":0,"byteOffset":%d,"byteLength":%d}' % v for v in views),
                n, ",".join("%.6f" % v for v in lows), ",".join("%.6f" % v for v in highs), n, n,
                3 * len(faces))).encode()
    json += b" " * (-len(json) % 4)
    body = struct.pack("<II", len(json), 0x4E4F534A) + json + struct.pack("<II", len(binary), 0x004E4942) + binary
    return b"glTF" + struct.pack("<II", 2, 12 + len(body)) + body


write("models/rock.glb", rock_glb())


def flac(relative, wav_bytes):
    """Through the flac encoder when it is installed (Debian flac); the
    committed file stands otherwise."""
    import shutil
    import subprocess
    if shutil.which("flac"):
        subprocess.run(["flac", "-8", "-s", "-f", "-", "-o", os.path.join(root, relative)],
                       input=wav_bytes, check=True)


flac("sounds/chime.flac", chime())


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
