#!/usr/bin/env python3
"""Start-up and memory of the real Zentrik.exe under Wine, beside a minimal
Win32 window program started the same way: the time from process start to
the first complete paint (a pixel of the painted face seen on the X screen),
and the private memory of Zentrik.exe while it measures. Prints figures only.

usage: startup_bench.py BUILD_DIR   (DISPLAY and WINEPREFIX set)
"""
import ctypes
import os
import statistics
import subprocess
import sys
import time

BUILD = os.path.abspath(sys.argv[1])
SCREEN_W, SCREEN_H = 1024, 768
LEFT, TOP = SCREEN_W // 2 - 175, SCREEN_H // 2 - 100


class Screen:
    """Reads single pixels of the X screen straight from the server, in well
    under a millisecond, so the polling adds almost nothing to the times."""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.c_void_p
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x11.XGetSubImage.restype = ctypes.c_void_p
        self.x11.XGetSubImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int,
                                          ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.display = self.x11.XOpenDisplay(None)
        self.root = self.x11.XDefaultRootWindow(self.display)
        self.image = self.x11.XGetImage(self.display, self.root, 0, 0, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        # XImage: width, height, xoffset, format (4 ints), then the data pointer.
        self.data = ctypes.cast(ctypes.c_void_p.from_address(self.image + 16).value,
                                ctypes.POINTER(ctypes.c_ubyte))

    def pixel(self, x, y):
        self.x11.XGetSubImage(self.display, self.root, x, y, 1, 1, 0xFFFFFFFF, 2, self.image, 0, 0)
        return (self.data[2], self.data[1], self.data[0])


screen = None


def pixel(x, y):
    return screen.pixel(x, y)


def time_to_paint(command, x, y, colour, cwd):
    before = pixel(x, y)
    start = time.monotonic()
    process = subprocess.Popen(["wine", command], cwd=cwd, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    seen = None
    while time.monotonic() - start < 20:
        if pixel(x, y) == colour:
            seen = time.monotonic() - start
            break
    subprocess.run(["xdotool", "key", "Escape"], capture_output=True)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
    # Wait until the window is gone before the next start.
    for _ in range(50):
        if pixel(x, y) == before:
            break
        time.sleep(0.1)
    return seen


def private_kib(pattern):
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            cmdline = open(f"/proc/{pid}/cmdline", "rb").read().decode(errors="replace")
            if pattern in cmdline and "wine" not in cmdline.split("\0")[0].rsplit("/", 1)[-1]:
                fields = dict(line.split(":", 1) for line in open(f"/proc/{pid}/smaps_rollup").read().splitlines()[1:])
                return sum(int(fields[k].split()[0]) for k in ("Private_Clean", "Private_Dirty"))
        except (OSError, KeyError, ValueError):
            continue
    return None


def main():
    global screen
    screen = Screen()
    tests = os.path.join(BUILD, "tests", "windows")
    # A pixel of the screen colour in both programs: Zentrik's screen at (60,130).
    zentrik, minimal = [], []
    for _ in range(10):
        minimal.append(time_to_paint(os.path.join(tests, "minimal_window.exe"), LEFT + 60, TOP + 130,
                                     (128, 197, 255), tests))
        zentrik.append(time_to_paint(os.path.join(BUILD, "Zentrik.exe"), LEFT + 60, TOP + 130,
                                     (128, 197, 255), BUILD))
    for name, values in (("minimal window", minimal), ("Zentrik.exe", zentrik)):
        good = [v * 1000 for v in values if v is not None]
        print(f"start -> first complete paint, {name:15}: median {statistics.median(good):.0f} ms "
              f"(min {min(good):.0f}, max {max(good):.0f}, n={len(good)})")
    ratio = statistics.median([v for v in zentrik if v]) / statistics.median([v for v in minimal if v])
    print(f"ratio Zentrik / minimal: {ratio:.2f}")

    process = subprocess.Popen(["wine", os.path.join(BUILD, "Zentrik.exe")], cwd=BUILD,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(3)
    for key in ("h", "h", "Return"):
        subprocess.run(["xdotool", "key", key], capture_output=True)
        time.sleep(0.2)
    time.sleep(5)
    print(f"private memory of Zentrik.exe while measuring: {private_kib('Zentrik.exe')} KiB "
          "(Linux private pages of the Wine process, the Wine runtime included)")
    subprocess.run(["xdotool", "key", "Escape"], capture_output=True)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()


if __name__ == "__main__":
    main()
