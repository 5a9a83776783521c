#!/usr/bin/env python3
"""Writes the default notification sound: a short two-note chime, 16-bit mono wave.

Usage: tools/make_sound.py resources/Sounds/chime.wav
"""
import math
import struct
import sys
import wave

RATE = 22050


def note(freq, seconds, volume):
    n = int(RATE * seconds)
    out = []
    for i in range(n):
        t = i / RATE
        attack = min(1.0, t / 0.008)
        decay = math.exp(-4.5 * t / seconds)
        # a bell-like tone: the fundamental with two soft partials
        s = (math.sin(2 * math.pi * freq * t)
             + 0.35 * math.sin(2 * math.pi * freq * 2.0 * t)
             + 0.12 * math.sin(2 * math.pi * freq * 3.01 * t))
        out.append(volume * attack * decay * s / 1.47)
    return out


def main():
    path = sys.argv[1]
    samples = note(880.0, 0.22, 0.55) + note(1318.5, 0.45, 0.5)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32767)) for s in samples))


if __name__ == "__main__":
    main()
