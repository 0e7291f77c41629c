#!/usr/bin/env python3
"""Makes the feedback sounds from Debian's espeak-ng and sox.

TONE is a long 16-bit PCM beep at 8000 samples/s (0.878 s) with soft edges; EN0..EN9 and
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


TONE_SAMPLES = 7024  # 0.878 s at 8000/s: 14048 data bytes


def make_tone():
    """One long beep: 1 kHz with its octave, clear above a roof's wind and
    traffic, rising and falling over a few milliseconds so that it starts and
    stops without a click. It is made at its own rate and not dithered, so the
    samples are the sine's and the silence at its ends is true silence."""
    target = os.path.join(OUT, "TONE.wav")
    length = f"{TONE_SAMPLES}s"
    sox("-D", "-r", "8000", "-n", "-b", "16", "-c", "1", "-e", "signed-integer", target,
        "synth", length, "sine", "1000", "synth", length, "sine", "mix", "2000",
        "fade", "h", "0.015", length, "0.03", "vol", "0.6")
    keep_fmt_and_data(target)
    size = os.path.getsize(target)
    if size != 44 + 2 * TONE_SAMPLES:
        sys.exit(f"TONE.wav came out {size} bytes, not {44 + 2 * TONE_SAMPLES}")


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
