#!/usr/bin/env python3
"""Proves that the program's sounds reach the audio output under Wine.

Wine's ALSA driver is pointed (through ALSA_CONFIG_PATH) at a file plugin over
the null device. Wine opens one stream per sndPlaySoundA call, and the file
plugin starts a small recorder for each: it notes the time the stream opened
and keeps its samples apart. A measurement is then run in the test program, in
Tone mode and in Voice mode, and each captured sound is compared with the
embedded one (the tone sample for sample, the digits as decoded from their
ADPCM), in the order the feedback cycle plays them, without the silence Wine
pads a stream with when a loaded machine feeds it late (around a sound, and
inside it where its mixer ran dry). The test program is asked
to keep real time (ZENTRIK_TEST_REAL_TIME), so each sound plays out whole.
The cadence is asserted exactly by the test program, on the pauses the
feedback thread asked for. Here, where the times are the machine's (Wine opens
each stream a little after the call, by how much depends on the load), the
gaps between the sounds are printed, not asserted.

usage: capture_sounds.py BUILD_DIR   (run with DISPLAY and WINEPREFIX set)
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SOUNDS = os.path.join(SOURCE, "resources", "sounds")
TESTS = os.path.join(BUILD, "tests", "windows")

failures = []
checks = 0


def check(ok, what):
    global checks
    checks += 1
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def pcm_of(path, rate):
    out = subprocess.run(["sox", path, "-t", "raw", "-r", str(rate), "-c", "1", "-b", "16",
                          "-e", "signed-integer", "-"], check=True, capture_output=True).stdout
    return struct.unpack(f"<{len(out) // 2}h", out)


RECORDER = """#!/bin/sh
# $1 folder, $2 rate, $3 channels, $4 bits: one stream, that is one sound
start=$(date +%s.%N)
file="$1/sound-$start-$2-$3-$4.raw"
cat > "$file"
echo "$start $2 $3 $4 $file" >> "$1/sounds.txt"
"""


def captured(folder, rate):
    """The sounds played at this rate (mono, 16 bits): (start in s, samples) in order."""
    path = os.path.join(folder, "sounds.txt")
    sounds = []
    for line in open(path).read().splitlines() if os.path.exists(path) else ():
        start, r, channels, bits, name = line.split()
        if (int(r), int(channels), int(bits)) != (rate, 1, 16):
            continue
        data = open(name, "rb").read()
        sounds.append((float(start), struct.unpack(f"<{len(data) // 2}h", data[:len(data) // 2 * 2])))
    return sorted(sounds)


def run_test(folder, name):
    recorder = os.path.join(folder, "recorder.sh")
    with open(recorder, "w") as f:
        f.write(RECORDER)
    os.chmod(recorder, 0o755)
    conf = os.path.join(folder, "asound.conf")
    with open(conf, "w") as f:
        f.write('pcm.!default {\n  type file\n  slave.pcm { type null }\n'
                f'  file "|{recorder} {folder} %r %c %b"\n  format "raw"\n}}\n')
    env = dict(os.environ, ALSA_CONFIG_PATH=conf, WINEDEBUG="-all", ZENTRIK_TEST_REAL_TIME="1")
    result = subprocess.run(["wine", "windows_tests.exe", f"--gtest_filter={name}"], cwd=TESTS,
                            env=env, capture_output=True, text=True, timeout=60)
    check(result.returncode == 0, f"{name} ran")


# The shortest run of zero samples that can be Wine's padding inside a sound:
# what it inserts when its mixer ran dry is hundreds of samples long.
PADDING_RUN = 8


def zeros_at(samples, i):
    """How many zero samples start at i."""
    run = 0
    while i + run < len(samples) and samples[i + run] == 0:
        run += 1
    return run


def describe(sounds, originals):
    """Each captured sound's length against its original's (the originals in
    turn), and its runs of silence."""
    parts = []
    for i, (_, samples) in enumerate(sounds):
        original = originals[i % len(originals)]
        silences, run = [], 0
        for i, v in enumerate(samples + (1,)):
            if v == 0:
                run += 1
                continue
            if run >= PADDING_RUN:
                silences.append(f"{run} at {i - run}")
            run = 0
        parts.append(f"{len(samples)} samples (original {len(original)}), silent runs: {silences or 'none'}")
    return "; ".join(parts)


def trimmed(samples):
    """The samples without the silence around them: on a loaded machine Wine
    pads a stream with silence when it is fed late."""
    first = next((i for i, v in enumerate(samples) if v), len(samples))
    last = next((i for i in range(len(samples) - 1, -1, -1) if samples[i]), -1)
    return tuple(samples[first:last + 1])


def unpadded(captured, original):
    """The captured sound without Wine's padding: trimmed, and each run of at
    least PADDING_RUN zero samples inside it that is longer than the
    original's run at that place (or where the original has none) cut back to
    the original's. Every other sample stays as captured."""
    got, want = trimmed(captured), trimmed(original)
    kept, i, j = [], 0, 0
    while i < len(got):
        run = zeros_at(got, i)
        own = zeros_at(want, j)
        if run >= PADDING_RUN and own < run:
            kept.extend([0] * own)
            i, j = i + run, j + own
            continue
        kept.append(got[i])
        i, j = i + 1, j + 1
    return tuple(kept)


def correlation(a, b):
    if len(a) != len(b) or not a:
        return 0.0
    energy = math.sqrt(sum(x * x for x in a) * sum(y * y for y in b))
    return sum(x * y for x, y in zip(a, b)) / energy if energy else 0.0


def captured_run(name, rate):
    """The sounds a test played, as captured."""
    with tempfile.TemporaryDirectory() as folder:
        run_test(folder, name)
        return captured(folder, rate)


def check_tone():
    tone = pcm_of(os.path.join(SOUNDS, "TONE.wav"), 8000)
    got = captured_run("Feedback.ToneRepeatsWhileThereIsASignal", 8000)
    check(len(got) >= 2, f"the output received {len(got)} sounds at 8000/s")
    check(all(unpadded(samples, tone) == trimmed(tone) for _, samples in got),
          f"each was the tone, sample for sample ({len(tone)} samples)")
    print("     " + describe(got, [tone]))
    gaps = [round((b[0] - a[0]) * 1000) for a, b in zip(got, got[1:])]
    print(f"     the tones started {gaps} ms apart (the program asked for 1600)")


def check_voice():
    four = pcm_of(os.path.join(SOUNDS, "EN4.wav"), 44100)
    seven = pcm_of(os.path.join(SOUNDS, "EN7.wav"), 44100)
    got = captured_run("Feedback.VoiceSpeaksBothDigitsInTheChosenLanguage", 44100)
    check(len(got) >= 2, f"the output received {len(got)} sounds at 44100/s")
    # Wine decodes the ADPCM itself; its samples differ from sox's by rounding
    # only, so the two decodings correlate almost perfectly.
    said = [four, seven]
    words = [round(correlation(unpadded(samples, said[i % 2]), trimmed(said[i % 2])), 5)
             for i, (_, samples) in enumerate(got)]
    check(words and all(r > 0.999 for r in words),
          f"four (EN4), seven (EN7), four, ... in turn: r = {words}")
    print("     " + describe(got, [four, seven]))
    check(got and correlation(trimmed(got[0][1])[:len(trimmed(seven))], trimmed(seven)) < 0.9,
          "and not seven first")
    starts = [start for start, _ in got]
    apart = [round((starts[i + 1] - starts[i]) * 1000) for i in range(0, len(starts) - 1, 2)]
    cycles = [round((starts[i + 2] - starts[i]) * 1000) for i in range(0, len(starts) - 2, 2)]
    print(f"     the second digit started {apart} ms after the first (asked: 600),"
          f" the pairs {cycles} ms apart (asked: 1800)")


def main():
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\Drivers", "/v", "Audio", "/d", "alsa",
                    "/f"], check=True, capture_output=True)
    check_tone()
    check_voice()
    print(f"capture: {checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
