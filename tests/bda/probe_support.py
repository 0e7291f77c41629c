"""What the bdaprobe checks under Wine share: the probe of the build named on
the command line, run with its output captured, and the ok/FAIL lines they
print.

usage of a check: probe_CHECK.py BUILD_DIR   (WINEPREFIX set; wine on the PATH)
"""
import os
import subprocess
import sys

PROBE = os.path.join(sys.argv[1], "bdatuner", "bdaprobe.exe")
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def run_probe(*arguments):
    """bdaprobe's exit code, standard output (bytes) and standard error (text)."""
    result = subprocess.run(["wine", PROBE, *arguments], capture_output=True, stdin=subprocess.DEVNULL,
                            timeout=120)
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


def start_wine_quietly():
    """Wine's background processes, when the first program starts them, keep
    whatever output they inherit open until the prefix stops: started here on
    /dev/null, the probe's own output ends when the probe does."""
    subprocess.run(["wine", "cmd", "/c", "exit"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)


def finish(name):
    """The check's summary line and exit code."""
    print(f"{name}: {len(failures)} failed")
    return 1 if failures else 0
