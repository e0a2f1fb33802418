#!/usr/bin/env python3
"""Writes the generated resources: the capture sound and the program icon.

The sound is a short shutter click: two bursts of filtered noise with a fast decay, 8-bit mono PCM at
11025 Hz. The icon is a lens ring on a rounded square. Run from the repository root; the output is
committed, so the build does not need Python.
"""
import math
import random
import struct
import zlib

RATE = 11025


def shutter():
    rng = random.Random(7)
    samples = []
    length = int(RATE * 0.45)
    low = 0.0
    for i in range(length):
        t = i / RATE
        envelope = 0.0
        for start, decay, gain in ((0.0, 0.018, 1.0), (0.11, 0.03, 0.8)):
            if t >= start:
                envelope += gain * math.exp(-(t - start) / decay)
        noise = rng.uniform(-1.0, 1.0)
        low += 0.35 * (noise - low)  # soften the hiss
        body = math.sin(2 * math.pi * 180 * t) * math.exp(-t / 0.05) * 0.4
        value = max(-1.0, min(1.0, envelope * (0.8 * low + body)))
        samples.append(int(128 + 110 * value))
    data = bytes(samples)
    fmt = struct.pack('<HHIIHH', 1, 1, RATE, RATE, 1, 8)
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(data)) + data
    if len(data) % 2:
        body += b'\0'
    return b'RIFF' + struct.pack('<I', len(body)) + body


def icon(size=64):
    rows = []
    c = (size - 1) / 2
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            dx, dy = x - c, y - c
            r = math.hypot(dx, dy)
            # rounded square background
            corner = max(abs(dx) - size * 0.30, 0) ** 2 + max(abs(dy) - size * 0.30, 0) ** 2
            inside = corner <= (size * 0.18) ** 2
            if not inside:
                row += bytes((0, 0, 0, 0))
                continue
            red, green, blue = 38, 94, 196
            if r < size * 0.34:
                red, green, blue = 240, 244, 250
            if r < size * 0.25:
                red, green, blue = 30, 36, 48
            if r < size * 0.12:
                red, green, blue = 90, 170, 255
            if math.hypot(dx + size * 0.06, dy + size * 0.06) < size * 0.04:
                red, green, blue = 255, 255, 255
            row += bytes((red, green, blue, 255))
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(b''.join(rows), 9))
            + chunk(b'IEND', b''))


if __name__ == '__main__':
    with open('resources/sound/capture.wav', 'wb') as f:
        f.write(shutter())
    with open('resources/icons/lumetra.png', 'wb') as f:
        f.write(icon())
