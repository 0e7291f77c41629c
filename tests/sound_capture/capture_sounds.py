#!/usr/bin/env python3
"""Proves that the program's sounds reach the audio output under Wine.

Wine's ALSA driver is pointed (through ALSA_CONFIG_PATH) at a file plugin over
the null device that appends every stream it is given to a file named after
its rate, channels and sample width. A measurement is then run in the test
program, in Tone mode and in Voice mode, and the captured samples are compared
with the embedded sounds: the tone sample for sample, the digits as decoded
from their ADPCM. The capture holds only what was played, not the pauses: the
timing of the sounds is checked by the Feedback tests.

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


def captured(folder, rate):
    path = os.path.join(folder, f"stream-{rate}-1-16.raw")
    if not os.path.exists(path):
        return ()
    data = open(path, "rb").read()
    return struct.unpack(f"<{len(data) // 2}h", data[:len(data) // 2 * 2])


def run_test(folder, name):
    conf = os.path.join(folder, "asound.conf")
    with open(conf, "w") as f:
        f.write('pcm.!default {\n  type file\n  slave.pcm { type null }\n'
                f'  file "|cat >> {folder}/stream-%r-%c-%b.raw"\n  format "raw"\n}}\n')
    env = dict(os.environ, ALSA_CONFIG_PATH=conf, WINEDEBUG="-all")
    result = subprocess.run(["wine", "windows_tests.exe", f"--gtest_filter={name}"], cwd=TESTS,
                            env=env, capture_output=True, text=True, timeout=60)
    check(result.returncode == 0, f"{name} ran")


def correlation(a, b):
    if len(a) != len(b) or not a:
        return 0.0
    energy = math.sqrt(sum(x * x for x in a) * sum(y * y for y in b))
    return sum(x * y for x, y in zip(a, b)) / energy if energy else 0.0


def main():
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\Drivers", "/v", "Audio", "/d", "alsa",
                    "/f"], check=True, capture_output=True)
    with tempfile.TemporaryDirectory() as folder:
        run_test(folder, "Feedback.ToneRepeatsWhileThereIsASignal")
        tone = pcm_of(os.path.join(SOUNDS, "TONE.wav"), 8000)
        got = captured(folder, 8000)
        copies = len(got) // len(tone) if tone else 0
        check(copies >= 2 and len(got) == copies * len(tone),
              f"the output received {copies} whole tones ({len(got)} samples at 8000/s)")
        check(all(got[i * len(tone):(i + 1) * len(tone)] == tone for i in range(copies)),
              "each tone arrived sample for sample")

    with tempfile.TemporaryDirectory() as folder:
        run_test(folder, "Feedback.VoiceSpeaksBothDigitsInTheChosenLanguage")
        four = pcm_of(os.path.join(SOUNDS, "EN4.wav"), 44100)
        seven = pcm_of(os.path.join(SOUNDS, "EN7.wav"), 44100)
        got = captured(folder, 44100)
        check(len(got) >= len(four) + len(seven), f"the output received {len(got)} samples at 44100/s")
        # Wine decodes the ADPCM itself; its samples differ from sox's by rounding
        # only, so the two decodings correlate almost perfectly.
        first, second = got[:len(four)], got[len(four):len(four) + len(seven)]
        check(correlation(first, four) > 0.999, f"first the word four (EN4), r={correlation(first, four):.5f}")
        check(correlation(second, seven) > 0.999, f"then the word seven (EN7), r={correlation(second, seven):.5f}")
        check(correlation(got[:len(seven)], seven) < 0.9, "and not seven first")
    print(f"capture: {checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
