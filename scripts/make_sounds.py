#!/usr/bin/env python3
"""Makes the feedback sounds from Debian's espeak-ng and sox.

TONE is a short 16-bit PCM beep at 8000 samples/s with soft edges; EN0..EN9 and
RU0..RU9 are the digits spoken by espeak-ng's English and Russian voices,
trimmed of silence and stored as Microsoft ADPCM, mono, 44100 samples/s. The
files are committed, so the build needs none of these tools. The same sources
give the same bytes: sox dithers with a fixed seed (-R).

usage: make_sounds.py [FOLDER]   (default: resources/sounds)
"""
import os
import struct
import subprocess
import sys
import tempfile

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                         "resources", "sounds")
WORDS = {
    "EN": ["zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"],
    "RU": ["ноль", "один", "два", "три", "четыре", "пять", "шесть", "семь", "восемь", "девять"],
}
VOICE = {"EN": "en", "RU": "ru"}
MAX_DIGIT_SECONDS = 0.52  # well within the 600 ms before the next digit


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def sox(*args):
    """sox with its random dither seeded the same every run."""
    run("sox", "-R", *args)


def seconds(path):
    out = subprocess.run(["soxi", "-D", path], check=True, capture_output=True, text=True)
    return float(out.stdout)


def keep_fmt_and_data(path):
    """sox adds a 'fact' chunk for compressed data; the player needs only fmt and data."""
    raw = open(path, "rb").read()
    assert raw[:4] == b"RIFF" and raw[8:12] == b"WAVE"
    chunks, pos = [], 12
    while pos + 8 <= len(raw):
        cid, size = raw[pos:pos + 4], struct.unpack("<I", raw[pos + 4:pos + 8])[0]
        body = raw[pos + 8:pos + 8 + size]
        if cid in (b"fmt ", b"data"):
            chunks.append(cid + struct.pack("<I", size) + body + (b"\0" if size & 1 else b""))
        pos += 8 + size + (size & 1)
    payload = b"WAVE" + b"".join(chunks)
    open(path, "wb").write(b"RIFF" + struct.pack("<I", len(payload)) + payload)


def make_digit(prefix, digit, tmp):
    spoken = os.path.join(tmp, f"{prefix}{digit}_raw.wav")
    trimmed = os.path.join(tmp, f"{prefix}{digit}_trim.wav")
    run("espeak-ng", "-v", VOICE[prefix], "-s", "190", "-w", spoken, WORDS[prefix][digit])
    sox(spoken, "-r", "44100", "-c", "1", "-b", "16", trimmed,
        "silence", "1", "0.005", "0.5%", "reverse", "silence", "1", "0.005", "0.5%", "reverse",
        "norm", "-1")
    length = seconds(trimmed)
    if length > MAX_DIGIT_SECONDS:  # speed up, keeping the pitch
        faster = os.path.join(tmp, f"{prefix}{digit}_fast.wav")
        sox(trimmed, faster, "tempo", "-s", f"{length / MAX_DIGIT_SECONDS:.3f}")
        trimmed = faster
    target = os.path.join(OUT, f"{prefix}{digit}.wav")
    sox(trimmed, "-e", "ms-adpcm", target)
    keep_fmt_and_data(target)


def make_tone():
    target = os.path.join(OUT, "TONE.wav")
    sox("-n", "-r", "8000", "-b", "16", "-c", "1", "-e", "signed-integer", target,
        "synth", "0.25", "sine", "880", "synth", "0.25", "sine", "mix", "1760",
        "fade", "h", "0.02", "0.25", "0.08", "vol", "0.6")
    keep_fmt_and_data(target)


def main():
    os.makedirs(OUT, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        for prefix in WORDS:
            for digit in range(10):
                make_digit(prefix, digit, tmp)
    make_tone()
    for name in sorted(os.listdir(OUT)):
        path = os.path.join(OUT, name)
        print(f"{name:10} {os.path.getsize(path):6} bytes {seconds(path):.3f} s")


if __name__ == "__main__":
    sys.exit(main())
