#!/usr/bin/env python3
"""End-to-end runs of the real Zentrik.exe through the BDA bridge: the bridge
answers the tuner filter's class id and drives the BDA test doubles (a DVB-S
network provider, the tuning model and a scripted tuner card). Checked by what
the doubles were told (their log) and by what the screen shows.

usage: drive_bda.py BUILD_DIR SCENARIO   (DISPLAY set, WINEPREFIX = the BDA prefix)
"""
import codecs
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import drive_zentrik as e2e  # noqa: E402  (BUILD and SCENARIO come from the same arguments)
from drive_zentrik import BAR, RED, TEXT, check  # noqa: E402

DOUBLES = os.path.join(e2e.BUILD, "tests", "bda", "ZentrikBdaDoubles.dll")
PROBE = os.path.join(e2e.BUILD, "bdatuner", "bdaprobe.exe")
SEARCHING = "at 0 locked 0 strength 0 quality 0\n"


def log_lines(text):
    """The doubles' log as (ms, thread, object, what, rest) tuples."""
    parsed = []
    for line in text.splitlines():
        parts = line.split(None, 4)
        if len(parts) >= 4:
            parsed.append((int(parts[0]), parts[1], parts[2], parts[3], parts[4] if len(parts) > 4 else ""))
    return parsed


def tunes(text):
    """Each TUNE line's fields as a dictionary of numbers."""
    found = []
    for _, _, _, what, rest in log_lines(text):
        if what == "TUNE" and not rest.startswith("incomplete"):
            words = rest.split()
            found.append({k: int(v) for k, v in zip(words[::2], words[1::2])})
    return found


def node_sources(text):
    """LNB sources given to the RF node's IBDA_DiseqCommand."""
    return [int(rest.split()[1]) for _, _, obj, what, rest in log_lines(text)
            if obj.startswith("Node#") and what == "put_DiseqLNBSource" and rest.startswith("0x00000000")]


def never_released(text):
    """Objects the doubles created that never got their final Release."""
    alive = set()
    for _, _, obj, what, _ in log_lines(text):
        if what == "Create":
            alive.add(obj)
        elif what == "Destroy":
            alive.discard(obj)
    return sorted(alive)


def run_and_stopped(text):
    """Filters (by kind) that were run, and those not stopped afterwards."""
    ran, running = set(), set()
    for _, _, obj, what, rest in log_lines(text):
        if what == "Run" and rest.startswith("0x00000000"):
            ran.add(obj.split("#")[0])
            running.add(obj)
        elif what == "Stop":
            running.discard(obj)
    return ran, sorted(running)


class BdaProgram(e2e.Program):
    SCRIPT_VARIABLE, LOG_VARIABLE = "ZENTRIK_BDA_SCRIPT", "ZENTRIK_BDA_LOG"

    def wait_built(self, seconds=e2e.GIVE_UP):
        """Waits until the bridge has found the card's nodes, the last step of its
        start: input sent before may meet a window still busy starting."""
        return e2e.wait_for(lambda: " GetControlNode 0x00000000 " in self.log_text(), seconds)

    def wait_tune(self, seconds=e2e.GIVE_UP):
        for _ in range(int(seconds * 10)):
            if tunes(self.log_text()):
                return tunes(self.log_text())[-1]
            time.sleep(0.1)
        return None

    def wait_screen(self, name, test, seconds):
        """Shoots the window until test(shot) holds; the shot, or None."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            shot = self.shot(name)
            if test(shot):
                return shot
            time.sleep(0.2)
        return None


def bar_at(shot, p, level):
    """The bar fills the small read-out area up to 42 + 2.65 * level."""
    end = int(42 + 2.65 * level)
    return p.pixel(shot, 45, 111) == BAR and p.pixel(shot, end - 1, 111) == BAR and p.pixel(shot, end + 1, 111) != BAR


def search_line(shot, p):
    """The red line of the search, which always starts at the bar's left end, and no bar."""
    return p.pixel(shot, 43, 113)[0] > 200 and p.pixel(shot, 45, 111) != BAR


def searching(shot, p):
    """The whole searching face: the line, and the read-out 00% in red."""
    return search_line(shot, p) and p.readout_differs(shot, "00%", RED, 0) == 0


def check_tune(tune, expected, what):
    got = {k: tune.get(k) for k in expected} if tune else None
    check(got == expected, f"{what} (got {got})")


def scenario_hotbird():
    """From the list: tune, search, lock, level, lock lost, Esc."""
    # Each state holds until the test has seen it: the lock comes once the
    # search was seen, the loss once the level was.
    p = BdaProgram(SEARCHING + "on GATE:lock locked 1 strength 50 quality 50\n"
                   "on GATE:lost locked 0 strength 0 quality 0\n")
    try:
        p.key("h", "h", "Return")  # HellasSat, then HotBird; Enter starts it
        tune = p.wait_tune()
        check_tune(tune, {"frequency": 10723000, "symbolrate": 29900, "polarisation": 1, "low": 9750000,
                          "high": 10600000, "switch": 11700000, "lo": 9750000},
                   "HotBird reaches the card as 10723000 kHz, 29900 ksym/s, horizontal, 9750/10600 MHz switching at 11700")
        check(tune is not None and tune["lnbsource"] in (-1, 0) and all(s == 0 for s in node_sources(p.log_text())),
              f"and without DiSEqC (locator {tune and tune['lnbsource']}, node {node_sources(p.log_text())})")
        check(p.wait_screen("searching", lambda s: searching(s, p), e2e.GIVE_UP) is not None,
              "before the lock: the red searching line and a red 00%")
        p.open_gate("lock")
        locked = p.wait_screen("level-50", lambda s: bar_at(s, p, 50), e2e.GIVE_UP)
        check(locked is not None, "the scripted lock at strength 50 paints the bar to 50%")
        check(locked is not None and p.readout_differs(locked, "50%", TEXT, 50) == 0,
              "and the read-out: 50% in dark text")
        p.open_gate("lost")
        check(p.wait_screen("lock-lost", lambda s: searching(s, p), e2e.GIVE_UP) is not None,
              "the lock lost: the red searching line again")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
        ran, running = run_and_stopped(p.log_text())
        check({"Provider", "Tuner"} <= ran and running == [],
              f"the graph ran while measuring and no filter is left running (ran {sorted(ran)}, running {running})")
        check(never_released(p.log_text()) == [], f"every BDA object got its final Release (left: {never_released(p.log_text())})")
        check("FAULT" not in p.log_text(), "the doubles' script was read whole")
    finally:
        p.close()


def scenario_amc1():
    """C band from the list: the 5150 MHz oscillator."""
    p = BdaProgram(SEARCHING)
    try:
        p.key("Home", "Return")  # AMC1 103.0w is the first entry of the list
        check_tune(p.wait_tune(), {"frequency": 3740000, "symbolrate": 29270, "polarisation": 2, "lo": 5150000},
                   "AMC1 reaches the card as 3740000 kHz vertical with the 5150 MHz C-band oscillator")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
    finally:
        p.close()


def scenario_keypad():
    """A typed line with DiSEqC position B."""
    p = BdaProgram(SEARCHING)
    try:
        p.wait_built()
        p.click(73, 174)  # MODE 0 -> keypad
        e2e.type_on_keypad(p, "C11743H8000B")
        p.click(272, 174)  # FIND>
        tune = p.wait_tune()
        check_tune(tune, {"frequency": 11743000, "symbolrate": 8000, "polarisation": 1, "lo": 10600000},
                   "11743H8000B reaches the card as 11743000 kHz, 8000 ksym/s, horizontal, high band")
        check(tune is not None and (tune["lnbsource"] == 2 or 2 in node_sources(p.log_text())),
              f"at DiSEqC position B (locator {tune and tune['lnbsource']}, node {node_sources(p.log_text())})")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
    finally:
        p.close()


def set_tuner_device(present):
    """Puts the tuner double into, or takes it out of, the BDA tuner category."""
    path = e2e.run("winepath", "-w", DOUBLES)
    subprocess.run(["wine", e2e.REGSVR32, "/s"] + ([] if present else ["/u"]) + ["/n", "/i:tuner", path],
                   check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)


def scenario_no_tuner():
    set_tuner_device(False)
    try:
        p = BdaProgram(SEARCHING)
        try:
            texts = p.answer_box("Error", "no-tuner") or []
            check("Static: Cannot initialize tuner control interface" in texts and "Button: OK" in texts,
                  f"no BDA tuner: \"Cannot initialize tuner control interface\" with an OK button (read {texts})")
            check(p.wait_exit() == 0, "and the program ends with exit code 0")
            check(never_released(p.log_text()) == [], f"every BDA object got its final Release (left: {never_released(p.log_text())})")
        finally:
            p.close()
    finally:
        set_tuner_device(True)


def scenario_tune_fails():
    """The card refuses the tune request: the step that sent it is reported."""
    p = BdaProgram(SEARCHING + "fail Provider.put_TuneRequest 0x80004005\n")
    try:
        p.key("h", "h", "Return")  # HotBird
        texts = p.answer_box("Error", "tune-refused") or []
        steps = [t for t in texts if t.startswith("Static: Set ")]
        check(len(steps) == 1 and steps[0].endswith(" failed") and "Button: OK" in texts,
              f"a refused tune request shows its step's failure text (read {texts})")
        check(p.wait_exit() == 0, "and the program ends with exit code 0")
        _, running = run_and_stopped(p.log_text())
        check(running == [] and never_released(p.log_text()) == [],
              f"with no filter running and every BDA object released (running {running}, "
              f"left {never_released(p.log_text())})")
    finally:
        p.close()


def scenario_statistics_fail():
    """The card's signal statistics stop answering: no lock is shown, nothing breaks."""
    p = BdaProgram("at 0 locked 1 strength 50 quality 50\nfail Node.get_SignalLocked 0x80004005\n"
                   "fail Node.get_SignalStrength 0x80004005\nfail Node.get_SignalQuality 0x80004005\n"
                   "fail Provider.get_SignalStrength 0x80004005\n")  # the provider reads the same nodes
    try:
        p.key("h", "h", "Return")  # HotBird
        check(p.wait_tune() is not None, "the tune request reaches the card")
        # One shot may catch the searching line at its start, where it draws
        # nothing yet: the screen is shot until the line shows.
        shot = p.wait_screen("statistics-fail", lambda s: searching(s, p), e2e.GIVE_UP)
        check(shot is not None and not bar_at(shot, p, 50),
              "statistics that fail read as no lock: the red searching line, no bar")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc still closes the program with exit code 0")
        check(never_released(p.log_text()) == [], f"every BDA object released (left {never_released(p.log_text())})")
    finally:
        p.close()


def free_port():
    """A port no one listens on now: asked of the system, then let go."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def signal_now(port):
    """The phone display's /api/signal as a dictionary; {} while nothing answers."""
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/api/signal", timeout=5) as answer:
            return json.loads(answer.read())
    except (OSError, ValueError):
        return {}


def signal_shows(port, test):
    """Waits until /api/signal passes the test; the last answer seen."""
    seen = {}

    def passes():
        seen.update(signal_now(port))
        return test(seen)
    e2e.wait_for(passes)
    return seen


def scenario_readings():
    """A card reporting strength 80 and quality 40: both reach the phone display apart, while the window keeps
    its one level; without the lock both are null."""
    port = free_port()
    p = BdaProgram(SEARCHING + "on GATE:lock locked 1 strength 80 quality 40\n"
                   "on GATE:lost locked 0 strength 80 quality 40\n", arguments=(f"/phone:{port}",))
    try:
        p.key("h", "h", "Return")  # HotBird
        check(p.wait_tune() is not None, "the tune request reaches the card")
        seen = signal_shows(port, lambda s: s.get("measuring") is True)
        check(seen.get("locked") is False and seen.get("strength") is None and seen.get("quality") is None,
              f"searching: \"strength\": null, \"quality\": null (got {seen})")
        p.open_gate("lock")
        seen = signal_shows(port, lambda s: s.get("locked") is True)
        check(seen.get("strength") == 80 and seen.get("quality") == 40 and seen.get("level") == 80,
              f"locked: \"strength\": 80, \"quality\": 40, beside the level 80 (got {seen})")
        check(p.wait_screen("readings-80", lambda s: bar_at(s, p, 80), e2e.GIVE_UP) is not None,
              "and the window's bar shows the one level, 80%, as before")
        p.open_gate("lost")
        seen = signal_shows(port, lambda s: s.get("locked") is False)
        check(seen.get("strength") is None and seen.get("quality") is None,
              f"the lock lost: both null again, though the card still reports them (got {seen})")
        p.key("Escape")
        check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
        check(never_released(p.log_text()) == [], f"every BDA object released (left {never_released(p.log_text())})")
    finally:
        p.close()


# Where Wine prints what a program gives OutputDebugString: the seh channel's
# warnings in Wine 8, the debugstr channel in other versions.
DEBUG_OUTPUT = "-all,warn+seh,+debugstr"


def debug_lines(stderr):
    """The bridge's debug output lines among Wine's debug channels."""
    lines = []
    for found in re.finditer(r'OutputDebugString[AW] L?"(.*)"\s*$', stderr, re.MULTILINE):
        text = codecs.decode(found.group(1), "unicode_escape").rstrip("\n")
        if text.startswith("ZentrikBdaTuner: "):
            lines.append(text)
    return lines


def files_since(folder, start):
    """Files under the folder written since start (seconds since the epoch)."""
    written = []
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            try:
                if os.stat(path).st_mtime >= start:
                    written.append(path)
            except OSError:
                pass
    return written


def bdaprobe(script, *arguments, debug=None):
    """Runs bdaprobe against the doubles in a folder of its own; its output and
    the doubles' log. Given a dictionary as debug, the run shows its debug
    output: the dictionary gets the bridge's lines ("lines"), and the files the
    run wrote in its folder and in the prefix's drive C: besides the doubles'
    log ("written")."""
    folder = tempfile.mkdtemp(prefix="zentrik-bdaprobe-")
    try:
        with open(os.path.join(folder, "probe.script"), "w") as f:
            f.write(script)
        env = dict(os.environ, ZENTRIK_BDA_SCRIPT=e2e.run("winepath", "-w", os.path.join(folder, "probe.script")),
                   ZENTRIK_BDA_LOG=e2e.run("winepath", "-w", os.path.join(folder, "probe.log")))
        if debug is not None:
            env["WINEDEBUG"] = DEBUG_OUTPUT
        start = time.time() - 1  # file times may be rounded down to the second
        try:
            result = subprocess.run(["wine", PROBE] + list(arguments), env=env, stdin=subprocess.DEVNULL, cwd=folder,
                                    capture_output=True, text=True, errors="replace", timeout=60)
            out, stderr = result.stdout.replace("\r", ""), result.stderr
        except subprocess.TimeoutExpired:
            out, stderr = "TIMED OUT", ""
        if debug is not None:
            debug["lines"] = debug_lines(stderr)
            drive_c = os.path.join(os.environ["WINEPREFIX"], "drive_c")
            debug["written"] = [path for path in files_since(folder, start) + files_since(drive_c, start)
                                if os.path.basename(path) not in ("probe.script", "probe.log")]
        log = open(os.path.join(folder, "probe.log")).read() if os.path.exists(os.path.join(folder, "probe.log")) else ""
        return out, log
    finally:
        shutil.rmtree(folder, ignore_errors=True)


TUNER_CLASS_SERVER = "Software\\Classes\\CLSID\\{E82536A0-94DA-11D2-A463-00A0C95D308D}\\InprocServer32"
# A two-filter card whose nodes open only at pins 2 -> 3, whose receiver names
# no template connections, on a DVB-S2 transponder: what bdaprobe has to show.
TWO_FILTER_CARD = ("receiver\npins 2 3\nfail Receiver.GetTemplateConnections 0x80004001\nmodulation 27\n" +
                   SEARCHING + "at 500 locked 1 strength 30000 quality 70\n")


def said(ok, what, out):
    """A check on bdaprobe's output, which is shown only when the check fails."""
    check(ok, what if ok else f"{what} (said {out!r})")


def probe_rows(out):
    return [line.split() for line in out.splitlines() if re.match(r"\s+\d+s\s", line)]


def probe_listing():
    out, _ = bdaprobe("")
    said('1. "Zentrik Test DVB-S Tuner"' in out and '2. "Zentrik Test DVB-S Tuner"' in out,
         "bdaprobe lists both tuners of the twin card by their one name", out)
    said(out.count("device path: \"\\\\?\\zentrik#double#") == 2,
         "and each with the device path that tells them apart", out)


def probe_card():
    out, log = bdaprobe(TWO_FILTER_CARD, "11743H8000B", "--seconds", "6")
    said('node 0: RF tuner, opened at pins 2->3: DiSEqC' in out and "pin types: 0 1 2 3" in out and
         "template connections: pin 2->node 0 node 0->pin 3" in out,
         "the tuner's pins, template connections and node, with the pins that opened it", out)
    said('receiver "Zentrik Test DVB-S Receiver"' in out and "template connections: none given" in out and
         "node 0: QPSK demodulator, opened at pins 2->3: signal statistics" in out,
         "the receiver's node, found by trying the pin pairs it announces", out)
    rows = probe_rows(out)
    said(len(rows) == 6 and rows[0][1] == "no", "six one-second reports in six seconds, the first still searching", out)
    said(bool(rows) and rows[-1][1:] == ["yes", "30000", "(of", "65535)", "70", "(percent)", "46%", "8PSK", "lock:",
                                         "receiver", "node", "0,", "level:", "receiver", "node", "0"],
         "locked at 30000 of 65535 shown as 46%, quality 70 percent, with 8PSK, read from the receiver's node", out)
    said("Modulation: locked with 8PSK" in out, "the modulation that locked is named", out)
    said("Tune request: carrier 11743000 kHz, LNB oscillators 9750000 / 10600000 kHz, band switch 11700000 kHz,"
         " DiSEqC port B" in out, "the tune request as the bridge sent it", out)
    said("Validate: S_OK" in out, "and the network provider's answer to Validate", out)
    check(validated_before_each_tune(log), "every tune request was validated by the same provider before it was sent")
    check_tune((tunes(log) or [None])[-1], {"frequency": 11743000, "symbolrate": 8000, "polarisation": 1,
                                            "lo": 10600000}, "the probe tunes the typed line as Zentrik does")
    check("Released the tuner." in out and never_released(log) == [],
          f"and lets go of every BDA object (left: {never_released(log)})")


def validated_before_each_tune(log):
    """Whether the doubles saw a Validate right before every tune request, from the provider that took it."""
    calls = [(obj, what) for _, _, obj, what, _ in log_lines(log) if what in ("Validate", "put_TuneRequest")]
    tunes_seen = [i for i, (_, what) in enumerate(calls) if what == "put_TuneRequest"]
    return bool(tunes_seen) and all(i > 0 and calls[i - 1] == (calls[i][0], "Validate") for i in tunes_seen)


def probe_debug_output():
    """No DVB-S network provider and a Validate that fails: the bridge says so, step by step, in its debug
    output and nowhere else, and tunes all the same."""
    debug = {}
    out, log = bdaprobe("fail Create.Provider 0x80040154\nfail Generic.Validate 0x80070057\n" + SEARCHING +
                        "at 300 locked 1 strength 60 quality 60\n", "12245H27500", "--seconds", "2", debug=debug)
    lines = debug["lines"]
    said("Validate: HRESULT 0x80070057" in out and "Graph: generic network provider" in out,
         "bdaprobe shows the generic provider's failing Validate", out)
    rows = probe_rows(out)
    check(bool(tunes(log)) and bool(rows) and rows[-1][1] == "yes",
          "and the tune request went out all the same, and locked")

    def has(text):
        return any(text in line for line in lines)
    said(has("could not add the DVB-S network provider: HRESULT 0x80040154"),
         "the debug output names the failed step with its HRESULT", lines)
    check(has("trying Microsoft's generic network provider") and has("Validate: HRESULT 0x80070057"),
          "the quirk worked around and Validate's answer")
    check(has("building the graph with the generic network provider") and has("the graph runs") and
          has("tune request sent") and has("tearing down the graph"), "and each step, build to tear-down")
    check(debug["written"] == [], f"the bridge wrote no file (written: {debug['written']})")


def registry_view():
    """The reg.exe option for the registry view of this build's architecture."""
    return "/reg:32" if e2e.ARCH == "x86" else "/reg:64"


def probe_hidden_filter():
    """A maker's filter registered for all users under the tuner's class id, hidden by the per-user bridge."""
    maker = "C:\\Program Files\\Maker\\MakerTuner.ax"
    key = "HKLM\\" + TUNER_CLASS_SERVER
    was = e2e.run("wine", "reg", "query", key, "/ve", registry_view(), check=False)
    e2e.run("wine", "reg", "add", key, "/ve", "/d", maker, "/f", registry_view(), check=False)
    try:
        out, _ = bdaprobe("")
    finally:
        before = re.search(r"REG_SZ\s+(.+)", was)
        if before:
            e2e.run("wine", "reg", "add", key, "/ve", "/d", before.group(1).strip(), "/f", registry_view(), check=False)
        else:
            e2e.run("wine", "reg", "delete", key, "/f", registry_view(), check=False)
    said("Note: two tuner filters are registered" in out and "MakerTuner.ax" in out and "regsvr32 /u" in out,
         "bdaprobe says the bridge hides a maker's filter, and how to choose", out)


def scenario_probe():
    """bdaprobe lists the cards, shows what it found of one and measures it, and fails as Zentrik would."""
    probe_listing()
    probe_card()
    probe_debug_output()
    probe_hidden_filter()
    set_tuner_device(False)
    try:
        out, _ = bdaprobe("", "12245H27500", "--seconds", "1")
    finally:
        set_tuner_device(True)
    said("FAILED: Cannot initialize tuner control interface" in out,
         "without a card the probe says what failed, as Zentrik would", out)


if __name__ == "__main__":
    {"hotbird": scenario_hotbird, "amc1": scenario_amc1, "keypad": scenario_keypad,
     "no_tuner": scenario_no_tuner, "tune_fails": scenario_tune_fails,
     "statistics_fail": scenario_statistics_fail, "readings": scenario_readings,
     "probe": scenario_probe}[e2e.SCENARIO]()
    print(f"{e2e.SCENARIO}: {len(e2e.failures)} failed")
    sys.exit(1 if e2e.failures else 0)
