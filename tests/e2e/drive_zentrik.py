#!/usr/bin/env python3
"""End-to-end runs of the real Zentrik.exe, as a separate process under Wine,
driven only by X input (xdotool) and checked by what the screen shows and by
what the simulated tuner was told (its log).

usage: drive_zentrik.py BUILD_DIR SCENARIO   (run with DISPLAY and WINEPREFIX set)
"""
import datetime
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1])
SCENARIO = sys.argv[2]
ARTIFACTS = os.path.join(BUILD, "tests", "e2e-artifacts")
# The window title carries the version the build was made with.
with open(os.path.join(BUILD, "generated", "zentrik_version.h")) as _header:
    TITLE = "Zentrik " + re.search(r'#define ZENTRIK_VERSION "([^"]+)"', _header.read()).group(1)
# What the build says of itself: its architecture and the regsvr32 that
# registers its DLLs.
with open(os.path.join(BUILD, "release.env")) as _env:
    FACTS = dict(line.rstrip("\n").replace("'", "").split("=", 1) for line in _env if "=" in line)
ARCH, REGSVR32 = FACTS["ZENTRIK_ARCH"], FACTS["ZENTRIK_REGSVR32"]
BAR = (240, 240, 255)
SCREEN = (128, 197, 255)
RED, TEXT = (255, 0, 0), (0, 0, 30)
SHEET = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "sheet",
                     "skin_sheet.png")
CURRENT_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "satlist", "satellite.ini")
# The table the current list is made from (the newest satellites-YYYY-MM-DD.xml
# beside it), and the built-in list.
TABLE = sorted(glob.glob(os.path.join(os.path.dirname(CURRENT_LIST), "satellites-*.xml")))[-1]
TABLE_DATE = os.path.basename(TABLE)[11:21]
DEFAULT_LIST = os.path.join(os.path.dirname(CURRENT_LIST), "..", "resources", "satellite_default.ini")
# Faces on the skin sheet: (x, y, width, height).
FAST_NORMAL, FAST_HOVER = (498, 1, 74, 27), (498, 29, 74, 27)
LIPS, RUSSIAN_FLAG, EMPTY_SOCKET = (430, 168, 20, 15), (410, 168, 20, 15), (5, 35, 20, 15)
# The small read-out: where its text starts, and the area around it that is
# compared (the strip, or the bar, and the text on it; not the searching line).
READOUT_AT = ("160", "87")
READOUT_AREA = (150, 86, 80, 26)


def run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True).stdout.strip()


def windows_path(path):
    """The path as the program sees it: a prefix maps drive Z: to the root.
    (Asking winepath costs a Wine start, two seconds on a busy machine.)"""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pixels_differ(first, x, y, second, sx, sy, w, h):
    """How many pixels of a w x h area at (x, y) of one picture differ from
    the area at (sx, sy) of another."""
    result = subprocess.run(
        ["compare", "-metric", "AE", "(", first, "-alpha", "off", "-crop", f"{w}x{h}+{x}+{y}", "+repage", ")",
         "(", second, "-alpha", "off", "-crop", f"{w}x{h}+{sx}+{sy}", "+repage", ")", "null:"],
        capture_output=True, text=True)
    try:
        return int(float(result.stderr.split()[0]))
    except (IndexError, ValueError):
        return w * h


# How long anything is waited for before a run gives up: only a fault should
# ever reach it, however loaded the machine.
GIVE_UP = 30.0


def wait_for(condition, seconds=GIVE_UP):
    """Polls until the condition holds; whether it did before giving up."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


class Program:
    # The tuner stand-in's settings; the BDA runs point these at the doubles.
    SCRIPT_VARIABLE, LOG_VARIABLE = "ZENTRIK_SIM_SCRIPT", "ZENTRIK_SIM_LOG"

    def __init__(self, script, prepare=None, arguments=(), start_in=None):
        self.folder = tempfile.mkdtemp(prefix="zentrik-e2e-")
        # The phone display's DLL only for a run that asks for it (/phone).
        for name in ("Zentrik.exe", "ReadMe.txt") + (("ZentrikPhone.dll",) if arguments else ()):
            shutil.copy(os.path.join(BUILD, name), self.folder)
        if prepare:
            prepare(self.folder)
        self.log = os.path.join(self.folder, "tuner.log")
        # "GATE:name" in a script names a file of this run's folder; the signal
        # it gates holds once open_gate(name) has made the file.
        with open(os.path.join(self.folder, "tuner.script"), "w") as f:
            f.write(script.replace("GATE:", windows_path(self.folder) + "\\"))
        env = dict(os.environ)
        env[self.SCRIPT_VARIABLE] = windows_path(os.path.join(self.folder, "tuner.script"))
        env[self.LOG_VARIABLE] = windows_path(self.log)
        # The command line's arguments, or a function that makes them from
        # the run's folder.
        extra = arguments(self.folder) if callable(arguments) else list(arguments)
        # Started from start_in, as from a console in that folder, when given.
        self.process = subprocess.Popen(["wine", os.path.join(self.folder, "Zentrik.exe"), *extra], env=env,
                                        cwd=start_in, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        geometry = ""
        deadline = time.monotonic() + GIVE_UP
        while not geometry and time.monotonic() < deadline:
            self.window = find_window(TITLE)
            assert self.window, "the window did not appear"
            time.sleep(0.5)
            # Wine may replace the X window of a new window while the program
            # still sets it up: then the window is looked up again.
            geometry = run("xdotool", "getwindowgeometry", "--shell", self.window, check=False)
        assert geometry, "the window kept going away"
        geometry = dict(line.split("=") for line in geometry.split())
        self.x, self.y = int(geometry["X"]), int(geometry["Y"])

    def open_gate(self, name):
        open(os.path.join(self.folder, name), "w").close()

    def click(self, x, y, repeat=1):
        run("xdotool", "mousemove", str(self.x + x), str(self.y + y))
        time.sleep(0.05)
        run("xdotool", "click", "--repeat", str(repeat), "--delay", "60", "1")
        time.sleep(0.15)

    def shows(self, name, looks_right, seconds=GIVE_UP):
        """Shoots the window until it looks right (or the time is up); whether
        it did. The last shot is kept under the name."""
        return wait_for(lambda: looks_right(self.shot(name)), seconds)

    def tuned(self, expected):
        """Waits until the card's last six tuning calls are the expected ones;
        those calls."""
        wait_for(lambda: self.calls()[-6:] == expected)
        return self.calls()[-6:]

    def key(self, *keys):
        self.hold_focus()
        for k in keys:
            run("xdotool", "key", k)
            time.sleep(0.15)

    def shot(self, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, f"{SCENARIO}-{name}.png")
        run("import", "-window", "root", "-crop", f"350x200+{self.x}+{self.y}", "+repage", path)
        return path

    def pixel(self, shot, x, y):
        text = run("convert", shot, "-format", f"%[fx:int(255*p{{{x},{y}}}.r)],%[fx:int(255*p{{{x},{y}}}.g)],%[fx:int(255*p{{{x},{y}}}.b)]", "info:")
        return tuple(int(v) for v in text.split(","))

    def face_differs(self, shot, x, y, face):
        """How many pixels of the window at (x, y) differ from the sheet's face."""
        fx, fy, w, h = face
        return pixels_differ(shot, x, y, SHEET, fx, fy, w, h)

    def readout_differs(self, shot, text, colour, level):
        """How many pixels of the small read-out's area differ from the text
        drawn there in that colour, over the bar of that level, by the
        program's own font code with the fonts installed here (whatever face
        they give, antialiased or not). Missing text, another colour or
        another place all differ."""
        expected = self.expected_readout(text, colour, level)
        x, y, w, h = READOUT_AREA
        return pixels_differ(shot, x, y, expected, x, y, w, h)

    def expected_readout(self, text, colour, level):
        name = os.path.join(self.folder, f"expected-{text[:2]}-{'%02x%02x%02x' % colour}-{level}")
        if not os.path.exists(name + ".bmp"):
            edge = 42 + 265 * min(max(level, 0), 100) // 100
            bar = ["-fill", "rgb%s" % (BAR,), "-draw", f"rectangle 42,88 {edge - 1},111"] if level else []
            run("convert", SHEET, "-crop", "350x200+0+0", "+repage", "-alpha", "off", *bar,
                "BMP3:" + name + "-background.bmp")
            run("wine", os.path.join(BUILD, "tests", "windows", "expected_text.exe"),
                windows_path(name + "-background.bmp"), windows_path(name + ".bmp"),
                *READOUT_AT, "%02x%02x%02x" % colour, text)
        return name + ".bmp"

    def polls(self):
        return sum(1 for line in self.log_text().splitlines() if " QueryLock " in line)

    def hold_focus(self):
        """Without a window manager the keyboard focus follows the pointer, so
        keys reach the window only while the pointer is over it: unless it
        already is, it is put on the screen area, where no control lights up."""
        where = dict(line.split("=") for line in run("xdotool", "getmouselocation", "--shell").split()
                     if "=" in line)
        x, y = int(where["X"]) - self.x, int(where["Y"]) - self.y
        if not (0 <= x < 350 and 0 <= y < 200):
            self.point(200, 60)

    def point(self, x, y):
        run("xdotool", "mousemove", str(self.x + x), str(self.y + y))
        time.sleep(0.3)

    def calls(self):
        if not os.path.exists(self.log):
            return []
        calls = []
        for line in open(self.log):
            parts = line.split()
            if len(parts) >= 4 and (parts[2].startswith("Set") or parts[2] == "InitializeControl"):
                calls.append(parts[2] + ("" if parts[3] == "-" else " " + parts[3]))
        return calls

    def log_text(self):
        return open(self.log).read() if os.path.exists(self.log) else ""

    def answer_box(self, title, shot_name, key="Return"):
        """Waits for the message box with this caption, reads its texts, saves a
        screenshot and answers it with the key (Enter: its default button); its
        texts, or None without a box."""
        box = message_box(title)
        if not box:
            return None
        texts = message_box_texts(title)
        self.shot(shot_name)
        run("xdotool", "windowactivate", "--sync", box, check=False)
        self.key(key)
        return texts

    def wait_exit(self, seconds=GIVE_UP):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        # The next test on this display must not find the pointer over its window.
        run("xdotool", "mousemove", "0", "0", check=False)
        shutil.rmtree(self.folder, ignore_errors=True)


failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def message_box_texts(title):
    """The texts of the message box with this caption, read from its controls."""
    reader = os.path.join(BUILD, "tests", "windows", "read_message_box.exe")
    result = subprocess.run(["wine", reader, title], capture_output=True, text=True, timeout=2 * GIVE_UP)
    return [line.strip() for line in result.stdout.splitlines() if line.strip()]


def find_window(title):
    """The first visible window with this title, once there is one; None on giving up."""
    deadline = time.monotonic() + GIVE_UP
    while time.monotonic() < deadline:
        found = run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$", check=False).split()
        if found:
            return found[0]
        time.sleep(0.1)
    return None


def message_box(title):
    return find_window(title)


def type_on_keypad(p, text):
    """Clicks the on-screen keypad's keys ("1234567890HVAB<C") in turn. Two
    quick clicks on one spot are a double-click, which types nothing: a
    repeated key is clicked 7 pixels further along."""
    previous, offset = None, 5
    for c in text:
        offset = 12 if c == previous and offset == 5 else 5
        p.click(40 + 17 * "1234567890HVAB<C".index(c) + offset, 140)
        previous = c


def scenario_list():
    p = Program("latency 20\nat 0 lock 0 level 0\non GATE:lock lock 1 level 50\n")
    try:
        p.key("h", "h", "Return")  # HellasSat, then HotBird; Enter starts it
        calls = p.tuned(["SetLnbSelection 0", "SetLnbFrequency 9750", "SetPolarity 0",
                         "SetSymbolRate 29900", "SetTransponderFrequency 10723", "SetDiseqc 0"])
        check(calls[-6:] == ["SetLnbSelection 0", "SetLnbFrequency 9750", "SetPolarity 0",
                             "SetSymbolRate 29900", "SetTransponderFrequency 10723", "SetDiseqc 0"],
              f"HotBird tunes 10723/0/29900 (got {calls[-6:]})")
        # No lock until the test has seen the search.
        check(p.shows("searching", lambda s: p.pixel(s, 43, 113)[0] > 200 and p.readout_differs(s, "00%", RED, 0) == 0),
              "no signal yet: the red searching line and a red 00%")
        p.open_gate("lock")
        check(p.shows("level-50", lambda s: p.pixel(s, 100, 111) == BAR and p.pixel(s, 173, 111) == BAR
                      and p.pixel(s, 174, 111) != BAR), "at 50% the bar ends at x 173")
        check(p.shows("level-50", lambda s: p.readout_differs(s, "50%", TEXT, 50) == 0),
              "the read-out: 50% in dark text")
        p.click(200, 100, repeat=2)
        check(p.shows("big-readout", lambda s: p.pixel(s, 45, 100) == SCREEN),
              "double-click: the big read-out covers the bar")
        p.click(73, 174)  # SLOW -> FAST
        check(p.shows("fast", lambda s: p.face_differs(s, 36, 161, FAST_HOVER) == 0),
              "SLOW click: the FAST face, lit under the pointer")
        p.click(10, 77)   # tone -> voice
        check(p.shows("voice", lambda s: p.face_differs(s, 5, 70, LIPS) == 0), "sound click: the lips of the voice")
        p.click(10, 42)   # English -> Russian
        check(p.shows("russian", lambda s: p.face_differs(s, 5, 35, RUSSIAN_FLAG) == 0),
              "language click: the Russian flag")
        check(p.shows("russian", lambda s: p.face_differs(s, 36, 161, FAST_NORMAL) == 0),
              "FAST stays, unlit once the pointer left")
        p.key("m")        # mute: the sound button has no face while muted
        p.point(10, 77)
        check(p.shows("muted", lambda s: p.face_differs(s, 5, 70, EMPTY_SOCKET) == 0),
              "muted: pointing at the sound button shows no face")
        p.point(200, 60)
        p.key("m")        # unmute: back to the voice
        p.point(10, 77)
        check(p.shows("unmuted", lambda s: p.face_differs(s, 5, 70, LIPS) == 0), "unmuted: the voice again")
        p.click(175, 174)  # <BACK
        check(p.shows("back", lambda s: p.pixel(s, 100, 100) not in (BAR, SCREEN)), "<BACK returns to the list")
        polls = p.polls()
        time.sleep(0.5)
        check(p.polls() == polls, "and the card is no longer polled")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
        check("FAULT" not in p.log_text(), "no overlapping tuner calls")
    finally:
        p.close()


def put_current_list(folder):
    shutil.copy(CURRENT_LIST, os.path.join(folder, "satellite.ini"))


def scenario_current_list():
    """The shipped current list in the program's folder: its Hot Bird entry,
    chosen with the keyboard, tunes the card with exactly the entry's values."""
    listed = open(CURRENT_LIST, "rb").read()
    names = re.findall(rb"^\[([^\]]*)\]=(\d+)([hv])(\d+);\r$", listed, re.MULTILINE)
    hot_bird = [n for n in names if n[0].lower().startswith(b"hotbird") and n[0].endswith(b"   13.0e")]
    check(len(hot_bird) == 1, f"the list has one Hot Bird entry at 13.0e ({hot_bird})")
    name, mhz, letter, ksym = hot_bird[0]
    check(10700 <= int(mhz) < 11700, f"{name.decode()} {mhz.decode()}: a Ku low-band entry, as this run expects")
    # The list's key letter steps through the names beginning with it, in file order.
    presses = [n[0] for n in names if n[0][:1].lower() == b"h"].index(name) + 1
    p = Program("latency 20\nat 0 lock 1 level 60\n", prepare=put_current_list)
    try:
        p.key(*(["h"] * presses), "Return")
        expected = ["SetLnbSelection 0", "SetLnbFrequency 9750", f"SetPolarity {0 if letter == b'h' else 1}",
                    f"SetSymbolRate {int(ksym)}", f"SetTransponderFrequency {int(mhz)}", "SetDiseqc 0"]
        calls = p.tuned(expected)
        check(calls == expected, f"{name.decode()} tunes {mhz.decode()}{letter.decode()}{ksym.decode()} "
                                 f"(got {calls})")
        check(wait_for(lambda: p.polls() > 0), "and the card is polled")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
        check(open(os.path.join(p.folder, "satellite.ini"), "rb").read() == listed,
              "the list file is left as it was")
    finally:
        p.close()


def scenario_keypad():
    p = Program("latency 20\nat 0 lock 1 level 30\n")
    try:
        p.click(73, 174)  # MODE 0 -> keypad
        type_on_keypad(p, "C11743H8000B")
        strip = (42, 86, 265, 28)  # the entry strip, as on the window face
        check(p.shows("typed", lambda s: p.face_differs(s, 42, 86, strip) > 100),
              "the typed line shows in the entry strip")
        p.click(272, 174)  # FIND>
        calls = p.tuned(["SetLnbSelection 1", "SetLnbFrequency 10600", "SetPolarity 0",
                         "SetSymbolRate 8000", "SetTransponderFrequency 11743", "SetDiseqc 2"])
        check(calls[-6:] == ["SetLnbSelection 1", "SetLnbFrequency 10600", "SetPolarity 0",
                             "SetSymbolRate 8000", "SetTransponderFrequency 11743", "SetDiseqc 2"],
              f"11743H8000B tunes with DiSEqC 2 (got {calls[-6:]})")
        p.click(175, 174)  # <BACK
        type_on_keypad(p, "C")
        check(p.shows("cleared", lambda s: p.face_differs(s, 42, 86, strip) == 0), "C clears the entry strip")
        type_on_keypad(p, "374V")
        p.click(272, 174)
        texts = p.answer_box("Error", "error-box")
        check(texts is not None, "a bad line shows the Error box")
        if texts is not None:
            check("Transponder parameters error" in " ".join(texts) and any(t.endswith(": OK") for t in texts),
                  f"it says \"Transponder parameters error\" with an OK button (read {texts})")
        p.click(298, 14)  # close box
        check(p.wait_exit() == 0, "the close box ends the program with exit code 0")
    finally:
        p.close()


def damage_skin(folder):
    """Flips bytes in the middle of the packed skin embedded in the program."""
    exe = os.path.join(folder, "Zentrik.exe")
    image = open(os.path.join(BUILD, "generated", "skin_sheet.jc"), "rb").read()
    program = bytearray(open(exe, "rb").read())
    at = program.find(image)
    assert at > 0 and program.find(image, at + 1) < 0, "the packed skin is in the program once"
    for i in range(len(image) // 2, len(image) // 2 + 16):
        program[at + i] ^= 0x5A
    open(exe, "wb").write(program)


def scenario_damaged_skin():
    p = Program("latency 20\n", prepare=damage_skin)
    try:
        texts = p.answer_box("Error", "damaged-skin") or []
        check("Static: The window skin is damaged and cannot be shown." in texts and "Button: OK" in texts,
              f"a damaged skin is reported (read {texts})")
        check(p.wait_exit() == 0, "and the program ends with exit code 0")
        check("Create" not in p.log_text(), "without reaching for the card")
    finally:
        p.close()


def scenario_altf4():
    p = Program("latency 20\n")
    try:
        p.click(73, 174)  # the keypad: the main window holds the keyboard focus
        p.shot("before-alt-f4")
        run("xdotool", "keydown", "Alt_L")
        run("xdotool", "key", "F4")
        run("xdotool", "keyup", "Alt_L")
        check(p.wait_exit() == 0, "Alt+F4 ends the program with exit code 0")
        check("Release IBaseFilter 0x00000000" in p.log_text(), "and lets go of the card")
    finally:
        p.close()


def read(path):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def with_list_maker(folder):
    shutil.copy(os.path.join(BUILD, "ZentrikList.dll"), folder)


def list_switch(path):
    return lambda folder: ["/list:" + windows_path(path(folder) if callable(path) else path)]


def kept_lists(folder):
    return sorted(name for name in os.listdir(folder) if re.match(r"^satellite-\d{4}-\d{2}-\d{2}(-\d+)?\.ini$", name))


def choose_and_tune(p, listed, first_letter, name_start):
    """Chooses the entry with the keyboard in the drop-down, as the list's key
    letter steps through the names beginning with it, starts it, and checks
    the card is tuned with exactly the entry's values."""
    names = re.findall(rb"^\[([^\]]*)\]=(\d+)([hv])(\d+);\r$", listed, re.MULTILINE)
    found = [n for n in names if n[0].lower().startswith(name_start)]
    check(len(found) == 1, f"the list has one entry starting {name_start!r} ({found})")
    name, mhz, letter, ksym = found[0]
    presses = [n[0] for n in names if n[0][:1].lower() == first_letter.encode()].index(name) + 1
    p.key(*([first_letter] * presses), "Return")
    band = (1, 10600) if int(mhz) >= 11700 else (0, 9750)
    expected = [f"SetLnbSelection {band[0]}", f"SetLnbFrequency {band[1]}", f"SetPolarity {0 if letter == b'h' else 1}",
                f"SetSymbolRate {int(ksym)}", f"SetTransponderFrequency {int(mhz)}", "SetDiseqc 0"]
    calls = p.tuned(expected)
    check(calls == expected, f"{name.decode()} tunes {mhz.decode()}{letter.decode()}{ksym.decode()} (got {calls})")


def scenario_list_renewed():
    """A satellites.xml named with /list: (as a drop would bring it): the
    question names the data's date and the entries; Yes writes the list made
    from it, keeps the present one beside it under the day's date, and the
    drop-down offers the new entries at once."""
    days = {datetime.date.today().isoformat()}
    p = Program("latency 20\nat 0 lock 1 level 60\n", prepare=with_list_maker, arguments=list_switch(TABLE))
    try:
        texts = p.answer_box("Satellite list", "list-question") or []
        made = read(CURRENT_LIST) + f"Made by Zentrik from a satellites.xml of {TABLE_DATE}.\r\n".encode()
        check(f"Static: Make the satellite list from {os.path.basename(TABLE)}?" in texts and
              f"Its data was made on {TABLE_DATE}." in texts and
              f"The new list holds {made.count(b';')} entries." in texts,
              f"the question names the file, the data's date and the entries (read {texts})")
        check(wait_for(lambda: read(os.path.join(p.folder, "satellite.ini")) == made),
              "Yes: satellite.ini is the list made from the table")
        days.add(datetime.date.today().isoformat())
        kept = kept_lists(p.folder)
        check(len(kept) == 1 and kept[0][10:20] in days and read(os.path.join(p.folder, kept[0])) == read(DEFAULT_LIST),
              f"the list it replaced is kept beside it under the day's date ({kept})")
        choose_and_tune(p, made, "h", b"hotbird")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
    finally:
        p.close()


def scenario_list_refused():
    """A file that is no satellite table says why and changes nothing; the
    question answered No changes nothing either: the drop-down still offers
    the list there was."""
    broken = lambda folder: os.path.join(folder, "broken.xml")

    def prepare(folder):
        with_list_maker(folder)
        with open(broken(folder), "wb") as f:
            f.write(read(TABLE)[:100000])

    p = Program("latency 20\nat 0 lock 1 level 60\n", prepare=prepare, arguments=list_switch(broken))
    try:
        texts = p.answer_box("Attention!", "list-refused") or []
        check("Static: broken.xml cannot make a satellite list:" in texts and
              any("the file is cut short" in t for t in texts) and "Your satellite list is unchanged." in texts,
              f"a file cut short is refused with where and why (read {texts})")
        check(read(os.path.join(p.folder, "satellite.ini")) == read(DEFAULT_LIST) and not kept_lists(p.folder),
              "the list is as it was, and nothing is kept beside it")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
    finally:
        p.close()
    # Named relative to the folder the program is started from, as in a console.
    p = Program("latency 20\nat 0 lock 1 level 60\n", prepare=with_list_maker,
                arguments=["/list:" + os.path.basename(TABLE)], start_in=os.path.dirname(TABLE))
    try:
        texts = p.answer_box("Satellite list", "list-answered-no", key="n")
        check(texts is not None and f"Static: Make the satellite list from {os.path.basename(TABLE)}?" in texts,
              f"a path relative to the folder the program was started from is found: the question is asked ({texts})")
        check(wait_for(lambda: not message_box_open("Satellite list")), "N answers No")
        check(read(os.path.join(p.folder, "satellite.ini")) == read(DEFAULT_LIST) and not kept_lists(p.folder),
              "No: the list is as it was, and nothing is kept beside it")
        choose_and_tune(p, read(DEFAULT_LIST), "h", b"hotbird")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
    finally:
        p.close()


def message_box_open(title):
    return bool(run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$", check=False))


if __name__ == "__main__":
    {"list": scenario_list, "current_list": scenario_current_list, "keypad": scenario_keypad, "altf4": scenario_altf4,
     "damaged_skin": scenario_damaged_skin, "list_renewed": scenario_list_renewed,
     "list_refused": scenario_list_refused}[SCENARIO]()
    print(f"{SCENARIO}: {len(failures)} failed")
    sys.exit(1 if failures else 0)
