#!/usr/bin/env python3
"""Checks the embedded sounds as a listener would: their formats and lengths,
and that each digit file says its own digit.

Each digit file is decoded with sox and compared with fresh espeak-ng
renderings of all ten words of its language; the closest rendering, by a
dynamic-time-warped distance over short-time loudness and zero-crossing
frames, must be its own digit.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOUNDS = os.path.join(HERE, "..", "..", "resources", "sounds")
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
from make_sounds import WORDS, VOICE  # noqa: E402

RATE = 16000
FRAME = RATE // 100  # 10 ms


def chunks(path):
    raw = open(path, "rb").read()
    assert raw[:4] == b"RIFF" and raw[8:12] == b"WAVE", path
    assert struct.unpack("<I", raw[4:8])[0] == len(raw) - 8, f"{path}: RIFF size"
    found, pos = {}, 12
    while pos + 8 <= len(raw):
        cid, size = raw[pos:pos + 4], struct.unpack("<I", raw[pos + 4:pos + 8])[0]
        found[cid] = raw[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    return found


def duration(path):
    out = subprocess.run(["soxi", "-D", path], check=True, capture_output=True, text=True)
    return float(out.stdout)


def samples(path):
    out = subprocess.run(["sox", path, "-t", "raw", "-r", str(RATE), "-c", "1", "-b", "16",
                          "-e", "signed-integer", "-"], check=True, capture_output=True)
    return struct.unpack(f"<{len(out.stdout) // 2}h", out.stdout)


def features(pcm):
    frames = []
    for at in range(0, len(pcm) - FRAME, FRAME):
        part = pcm[at:at + FRAME]
        loud = math.log10(1 + math.sqrt(sum(s * s for s in part) / FRAME))
        crossings = sum(1 for a, b in zip(part, part[1:]) if (a < 0) != (b < 0)) / FRAME
        frames.append((loud, crossings * 10))
    return frames


def dtw(a, b):
    inf = float("inf")
    prev = [0.0] + [inf] * len(b)
    for x in a:
        cur = [inf] * (len(b) + 1)
        for j, y in enumerate(b, 1):
            cost = abs(x[0] - y[0]) + abs(x[1] - y[1])
            cur[j] = cost + min(prev[j], prev[j - 1], cur[j - 1])
        prev = cur
    return prev[-1] / (len(a) + len(b))


def fresh(prefix, digit, tmp):
    path = os.path.join(tmp, f"{prefix}{digit}.wav")
    subprocess.run(["espeak-ng", "-v", VOICE[prefix], "-s", "170", "-p", "40", "-w", path,
                    WORDS[prefix][digit]], check=True)
    trimmed = os.path.join(tmp, f"{prefix}{digit}t.wav")
    subprocess.run(["sox", path, trimmed, "silence", "1", "0.005", "0.5%", "reverse",
                    "silence", "1", "0.005", "0.5%", "reverse"], check=True)
    return features(samples(trimmed))


def check_tone(check):
    """TONE: the stored format and size, and a long beep that a listener
    hears as one steady pitch, starting and ending without a click."""
    path = os.path.join(SOUNDS, "TONE.wav")
    tone = chunks(path)
    tag, channels, rate, _, _, bits = struct.unpack("<HHIIHH", tone[b"fmt "][:16])
    check((tag, channels, rate, bits) == (1, 1, 8000, 16), "TONE: 16-bit mono PCM at 8000/s")
    check(set(tone) == {b"fmt ", b"data"} and len(tone[b"fmt "]) == 16, "TONE: a 44-byte header")
    check(len(tone[b"data"]) == 14048 and os.path.getsize(path) == 14092, "TONE: 14048 data bytes, 14092 in all")
    length = duration(path)
    check(0.87 < length < 0.89, f"TONE: {length:.3f} s, 0.88 s as stored and within the 1300 ms to the next")
    pcm = struct.unpack(f"<{len(tone[b'data']) // 2}h", tone[b"data"])
    check(max(abs(v) for v in pcm[:4] + pcm[-4:]) < 200, "TONE: starts and ends at silence (no click)")
    frames = [pcm[at:at + 80] for at in range(0, len(pcm) - 80, 80)]  # 10 ms each
    loud = [math.sqrt(sum(v * v for v in f) / len(f)) for f in frames]
    sounding = sum(1 for r in loud if r > max(loud) / 2)
    check(sounding * 10 >= 800, f"TONE: sounds at full strength for {sounding * 10} ms of it, a long beep")
    middle = pcm[len(pcm) // 4:3 * len(pcm) // 4]
    # The period is the lag at which the middle best matches itself (400 to 1600 Hz).
    period = max(range(5, 21), key=lambda lag: sum(a * b for a, b in zip(middle, middle[lag:])) / (len(middle) - lag))
    pitch = 8000 / period
    check(900 < pitch < 1100, f"TONE: a pitch of {pitch:.0f} Hz throughout its middle")


def main():
    failures = []
    checked = [0]

    def check(ok, message):
        checked[0] += 1
        if not ok:
            failures.append(message)

    check_tone(check)

    with tempfile.TemporaryDirectory() as tmp:
        for prefix in WORDS:
            references = [fresh(prefix, d, tmp) for d in range(10)]
            for digit in range(10):
                path = os.path.join(SOUNDS, f"{prefix}{digit}.wav")
                found = chunks(path)
                check(set(found) == {b"fmt ", b"data"}, f"{prefix}{digit}: only fmt and data")
                fmt = found[b"fmt "]
                tag, channels, rate, _, align, bits = struct.unpack("<HHIIHH", fmt[:16])
                check(len(fmt) == 50 and (tag, channels, rate, align, bits) == (2, 1, 44100, 1024, 4),
                      f"{prefix}{digit}: MS ADPCM mono 44100/s, block 1024")
                check(struct.unpack("<H", fmt[18:20])[0] == 2036, f"{prefix}{digit}: 2036 samples/block")
                length = duration(path)
                check(0.1 < length < 0.6, f"{prefix}{digit}: {length:.3f} s, must end within 600 ms")
                mine = features(samples(path))
                distances = [dtw(mine, ref) for ref in references]
                best = min(range(10), key=distances.__getitem__)
                check(best == digit, f"{prefix}{digit} sounds most like {prefix}{best}")
    for message in failures:
        print("FAILED:", message)
    print(f"sounds: {checked[0] - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
