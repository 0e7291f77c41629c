#!/usr/bin/env python3
"""End-to-end runs of the real Zentrik.exe through the BDA bridge with a card
double that delivers a transport stream: the line that says which satellite
the broadcast comes from, compared with the list entry, checked on the screen
against the line drawn by the program's own font code.

usage: drive_identity.py BUILD_DIR SCENARIO   (DISPLAY set, WINEPREFIX = the BDA prefix)
"""
import json
import os
import shutil
import sys
import threading
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import drive_bda as bda  # noqa: E402  (BUILD and SCENARIO come from the same arguments)
import make_streams  # noqa: E402
from drive_bda import (BdaProgram, bar_at, check, free_port, log_lines, never_released, run_and_stopped,  # noqa: E402
                       searching, signal_now, signal_shows, tunes)

e2e = bda.e2e
HOTBIRD_TS = os.path.join(HERE, "..", "data", "broadcast", "hotbird13e-mediaset.ts")
LOCKED = "at 0 locked 1 strength 50 quality 50\n"
# The identity line's place and colours (skin/identity_paint.*, skin/colours.h).
AREA = (36, 60, 278, 18)
CONFIRMED, MISMATCH, ALONE = "006400", "be0000", "00001e"


def with_streams(folder):
    """The run's folder gets the recording and our own streams."""
    shutil.copy(HOTBIRD_TS, os.path.join(folder, "hotbird.ts"))
    for name, make in make_streams.STREAMS.items():
        with open(os.path.join(folder, name + ".ts"), "wb") as f:
            f.write(make())


def start(stream_lines, prepare=with_streams, arguments=()):
    p = BdaProgram(LOCKED + stream_lines, prepare=prepare, arguments=arguments)
    p.wait_built()
    return p


def expected_line(p, text, colour):
    """The window face with the identity line drawn on it by the program's own code."""
    name = os.path.join(p.folder, f"expected-identity-{colour}")
    e2e.run("convert", e2e.SHEET, "-crop", "350x200+0+0", "+repage", "-alpha", "off", "BMP3:" + name + "-background.bmp")
    e2e.run("wine", os.path.join(e2e.BUILD, "tests", "windows", "expected_text.exe"),
            e2e.windows_path(name + "-background.bmp"), e2e.windows_path(name + ".bmp"), "--identity", colour, text)
    return name + ".bmp"


def line_differs(p, shot, expected):
    x, y, w, h = AREA
    return e2e.pixels_differ(shot, x, y, expected, x, y, w, h)


def shows_line(p, name, text, colour):
    """Waits until the identity area shows exactly the line; the shot, or None."""
    expected = expected_line(p, text, colour)
    return p.wait_screen(name, lambda s: line_differs(p, s, expected) == 0, e2e.GIVE_UP)


def face_untouched(p, shot):
    """The identity area is the window face's own: no line at all."""
    x, y, w, h = AREA
    return e2e.pixels_differ(shot, x, y, e2e.SHEET, x, y, w, h) == 0


def polls_after(text, marker, ms):
    """Whether the doubles answered a lock read more than ms after the line with marker."""
    at = next((t for t, _, _, what, rest in log_lines(text) if marker in f"{what} {rest}"), None)
    return at is not None and any(t > at + ms and what == "get_SignalLocked" for t, _, _, what, _ in log_lines(text))


def lock_reads_since_loss(text, since_ms):
    """The lock reads the doubles answered after the first one after since_ms
    that found no lock; -1 while there is none."""
    reads = [rest.split()[-1] == "1" for t, _, _, what, rest in log_lines(text)
             if what == "get_SignalLocked" and t > since_ms]
    return len(reads) - reads.index(False) - 1 if False in reads else -1


def log_end(p):
    """The time of the doubles' latest log line."""
    return max((t for t, _, _, _, _ in log_lines(p.log_text())), default=0)


NOTHING_CLAIMED = {"match": "unknown", "position": None, "network": None, "expected": None, "line": None}


def claims(signal):
    """The identity fields of a /api/signal answer or an event."""
    return {k: signal.get(k) for k in NOTHING_CLAIMED}


class SignalEvents:
    """Every event of the phone display's /events, kept as it comes, on a thread of its own."""

    def __init__(self, port):
        self.seen = []
        threading.Thread(target=self._read, args=(port,), daemon=True).start()

    def _read(self, port):
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{port}/events", timeout=30) as events:
                for line in events:
                    if line.startswith(b"data: "):
                        self.seen.append(json.loads(line[6:]))
        except (OSError, ValueError):
            pass


def finish(p):
    p.key("Escape")
    check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
    _, running = run_and_stopped(p.log_text())
    left = never_released(p.log_text())
    check(running == [] and left == [], f"no filter left running, every BDA object released (running {running}, left {left})")


def measure_hotbird(p):
    p.key("h", "h", "Return")  # HellasSat, then HotBird 13.0e; Enter starts it
    check(p.wait_screen("level-50", lambda s: bar_at(s, p, 50), e2e.GIVE_UP) is not None, "locked at 50%")


def big_readout(p):
    p.click(200, 120, repeat=2)  # a double click on the screen switches to the big read-out


def scenario_identity_match():
    """HotBird 13.0e from the list, and the recording made off air on Hot Bird: confirmed."""
    p = start("stream GATE:hotbird.ts\n")
    try:
        measure_hotbird(p)
        shot = shows_line(p, "match", "13.0E confirmed: Mediaset", CONFIRMED)
        check(shot is not None, "the line says \"13.0E confirmed: Mediaset\" in green under the caption")
        check(shot is not None and bar_at(shot, p, 50) and p.readout_differs(shot, "50%", bda.TEXT, 50) == 0,
              "and the bar and the read-out are as without it")
        check("STREAM first sample 0x00000000" in p.log_text(), "the card's samples reached the bridge's tap")
        check(any(obj.startswith("Demux#") and what == "Receive" for _, _, obj, what, _ in log_lines(p.log_text())),
              "and went on through it to the demultiplexer")
        big_readout(p)
        check(shows_line(p, "match-big", "13.0E confirmed: Mediaset", CONFIRMED) is not None,
              "the big read-out view shows the same line")
        finish(p)
    finally:
        p.close()


def scenario_identity_mismatch():
    """HotBird 13.0e from the list, but the dish sees Astra 19.2E: said plainly."""
    p = start("stream GATE:astra.ts\n")
    try:
        measure_hotbird(p)
        check(shows_line(p, "mismatch", "not 13.0E: this is 19.2E, ASTRA 1; turn west", MISMATCH) is not None,
              "the line says \"not 13.0E: this is 19.2E, ASTRA 1; turn west\" in red (the name's zero byte left out)")
        big_readout(p)
        check(shows_line(p, "mismatch-big", "not 13.0E: this is 19.2E, ASTRA 1; turn west", MISMATCH) is not None,
              "and so does the big read-out view")
        finish(p)
    finally:
        p.close()


def scenario_identity_typed():
    """A typed transponder has no position to compare: the identity alone."""
    p = start("stream GATE:astra.ts\n")
    try:
        p.click(73, 174)  # MODE 0 -> keypad
        e2e.type_on_keypad(p, "C11362H22000")
        p.click(272, 174)  # FIND>
        check(shows_line(p, "typed", "19.2E ASTRA 1", ALONE) is not None, "the line says \"19.2E ASTRA 1\"")
        finish(p)
    finally:
        p.close()


def scenario_identity_no_nit():
    """A stream without a NIT: nothing is known, so nothing is shown."""
    p = start("stream GATE:nonit.ts once\n")
    try:
        measure_hotbird(p)
        check(e2e.wait_for(lambda: polls_after(p.log_text(), "STREAM stopped", 2500)),
              "the whole stream was delivered and the poller went on for more than two seconds")
        shot = p.shot("no-nit")
        check(face_untouched(p, shot) and bar_at(shot, p, 50) and p.readout_differs(shot, "50%", bda.TEXT, 50) == 0,
              "no identity line: the screen is as without a stream")
        finish(p)
    finally:
        p.close()


def scenario_identity_stops():
    """The stream stops (a card that stops delivering): the line stays as last known, nothing hangs."""
    # Some two seconds of stream: the tap reads only once the tune has settled.
    p = start("stream GATE:hotbird.ts\nstream stop-after 300\n")
    try:
        measure_hotbird(p)
        check(shows_line(p, "before-stop", "13.0E confirmed: Mediaset", CONFIRMED) is not None, "confirmed first")
        check(e2e.wait_for(lambda: polls_after(p.log_text(), "STREAM stopped", 2500)),
              "the stream stopped and the poller went on for more than two seconds")
        check(shows_line(p, "after-stop", "13.0E confirmed: Mediaset", CONFIRMED) is not None,
              "the line stays as last known")
        check(bar_at(p.shot("after-stop-bar"), p, 50), "and the level is read as before")
        finish(p)
    finally:
        p.close()


def scenario_identity_lock_lost():
    """The lock goes and comes back on the same transponder: nothing is claimed without
    it, on the window nor on the phone display, and once it is back only tables read
    again from the stream count."""
    port = free_port()
    p = start("stream GATE:hotbird.ts\n"
              "on GATE:lost locked 0 strength 0 quality 0\n"
              "on GATE:back locked 1 strength 50 quality 50\n"
              "stream on GATE:back GATE:hotbird_sdt.ts\n"
              "stream on GATE:tables GATE:hotbird.ts\n", arguments=(f"/phone:{port}",))
    try:
        measure_hotbird(p)
        check(shows_line(p, "before-loss", "13.0E confirmed: Mediaset", CONFIRMED) is not None, "confirmed first")
        seen = signal_shows(port, lambda s: s.get("match") == "confirmed")
        check(claims(seen) == {"match": "confirmed", "position": "13.0E", "network": "Mediaset", "expected": "13.0E",
                               "line": "13.0E confirmed: Mediaset"}, f"and so says /api/signal (got {claims(seen)})")
        since = log_end(p)
        p.open_gate("lost")
        # Within a poll or two of the read that finds the lock gone, counted in
        # the card's lock reads (each pass of the poller reads the lock once).
        check(e2e.wait_for(lambda: lock_reads_since_loss(p.log_text(), since) >= 2),
              "the card's statistics find the lock gone, and the poller reads it twice more")
        seen = signal_now(port)
        check(seen.get("locked") is False and claims(seen) == NOTHING_CLAIMED,
              f"/api/signal within two polls of the loss: \"match\": \"unknown\", all null (got {seen})")
        shot = p.wait_screen("lost", lambda s: searching(s, p) and face_untouched(p, s), e2e.GIVE_UP)
        check(shot is not None, "the lock goes: the searching face, and no identity line")
        # The same stream's SDT comes back without its NIT: the NIT read before
        # the loss must not name the satellite again.
        p.open_gate("back")
        check(p.wait_screen("back", lambda s: bar_at(s, p, 50), e2e.GIVE_UP) is not None, "the lock is back at 50%")
        check(e2e.wait_for(lambda: polls_after(p.log_text(), "STREAM now recording 1", 2500)),
              "the stream without a NIT was delivered and the poller went on for more than two seconds")
        shot = p.shot("back-sdt-only")
        check(face_untouched(p, shot) and bar_at(shot, p, 50), "still no identity line: no NIT has been read again")
        seen = signal_now(port)
        check(seen.get("locked") is True and claims(seen) == NOTHING_CLAIMED,
              f"nor anything claimed on /api/signal under the lock (got {seen})")
        p.open_gate("tables")
        check(shows_line(p, "tables-again", "13.0E confirmed: Mediaset", CONFIRMED) is not None,
              "the NIT read again confirms the satellite again")
        check(signal_shows(port, lambda s: s.get("match") == "confirmed").get("position") == "13.0E",
              "and /api/signal says so again")
        finish(p)
    finally:
        p.close()


def scenario_identity_satellite_changes():
    """The stream turns into another satellite's without a retune (the lock holds):
    the old claim ends with the new stream's first table, the new one comes with its NIT."""
    p = start("stream GATE:hotbird.ts\n"
              "stream on GATE:astra-sdt GATE:nonit.ts\n"
              "stream on GATE:astra GATE:astra.ts\n")
    try:
        measure_hotbird(p)
        check(shows_line(p, "hotbird", "13.0E confirmed: Mediaset", CONFIRMED) is not None, "confirmed first")
        p.open_gate("astra-sdt")
        shot = p.wait_screen("astra-sdt", lambda s: face_untouched(p, s) and bar_at(s, p, 50), e2e.GIVE_UP)
        check(shot is not None, "Astra's SDT ends the Hot Bird claim: no line, the level as before")
        p.open_gate("astra")
        check(shows_line(p, "astra", "not 13.0E: this is 19.2E, ASTRA 1; turn west", MISMATCH) is not None,
              "Astra's NIT says where the dish points: \"not 13.0E: this is 19.2E, ASTRA 1; turn west\"")
        finish(p)
    finally:
        p.close()


# Hispasat 30.0w, the entry after HotBird 13.0e among the list's names in H.
HISPASAT_KHZ = 11535000
HISPASAT_LINE = "not 30.0W: this is 19.2E, ASTRA 1"


def with_late_streams(folder):
    with_streams(folder)
    for name, make in make_streams.LATE_STREAMS.items():
        with open(os.path.join(folder, name + ".ts"), "wb") as f:
            f.write(make())


def scenario_identity_retune():
    """<BACK and another entry: the card's buffers still hold Hot Bird's stream for a
    while after the new tune (its lock reported at once), and the new transponder's
    tables come only later. Hot Bird is never claimed for the new entry."""
    port = free_port()
    p = start("stream GATE:hotbird.ts\n"
              f"stream tuned {HISPASAT_KHZ} GATE:astra_late.ts\n"
              "stream lag 200\n", prepare=with_late_streams, arguments=(f"/phone:{port}",))
    try:
        measure_hotbird(p)
        check(shows_line(p, "hotbird", "13.0E confirmed: Mediaset", CONFIRMED) is not None, "Hot Bird confirmed first")
        events = SignalEvents(port)
        p.click(175, 174)  # <BACK
        p.key("h", "Return")  # the next entry in H: Hispasat 30.0w
        check(e2e.wait_for(lambda: len(tunes(p.log_text())) >= 2) and tunes(p.log_text())[1]["frequency"] == HISPASAT_KHZ,
              f"the second tune reaches the card at {HISPASAT_KHZ} kHz (tunes {tunes(p.log_text())})")
        seen = signal_shows(port, lambda s: s.get("line") == HISPASAT_LINE)
        check(claims(seen)["line"] == HISPASAT_LINE, f"the new transponder's tables name 19.2E (got {claims(seen)})")
        times = {what: t for t, _, _, what, rest in log_lines(p.log_text())
                 if what == "TUNE" or (what == "STREAM" and rest.startswith("now recording"))}
        check(times.get("STREAM", 0) - times.get("TUNE", 0) >= 200,
              f"the card went on with Hot Bird's stream for 200 ms after the tune (tune and switch at {times})")
        named = lambda: [claims(e) for e in events.seen if e.get("caption", "").startswith("Hispasat")]  # noqa: E731
        check(e2e.wait_for(lambda: any(c["line"] == HISPASAT_LINE for c in named())),
              "the event stream, read throughout, says so too")
        hispasat = named()
        check(all(c["position"] != "13.0E" for c in hispasat),
              f"no event for the new entry ever claims 13.0E ({len(hispasat)} events: "
              f"{sorted({c['position'] or 'null' for c in hispasat})})")
        finish(p)
    finally:
        p.close()


def probe_with(stream_path):
    """bdaprobe measuring 11362H22000 for four seconds with the card delivering the stream (or none)."""
    line = f"stream {e2e.windows_path(stream_path)}\n" if stream_path else ""
    out, _ = bda.bdaprobe(LOCKED + line, "11362H22000", "--seconds", "4")
    return out


def scenario_identity_probe():
    """bdaprobe prints the identity and the NIT's transponders as typed on the keypad."""
    out = probe_with(HOTBIRD_TS)
    bda.said("Broadcast: the satellite at 13.0E, network \"Mediaset\" (network id 272), "
             "transport stream 6000 of original network 272" in out, "the identity of the Hot Bird recording", out)
    bda.said(any(l.split()[:3] == ["11919V29900", "DVB-S", "QPSK"] for l in out.splitlines()),
             "its one listed transponder as the keypad takes it: 11919V29900, DVB-S, QPSK", out)
    folder = os.path.join(bda.e2e.ARTIFACTS, "streams")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "astra.ts"), "wb") as f:
        f.write(make_streams.astra())
    out = probe_with(os.path.join(folder, "astra.ts"))
    rows = [l.split()[:3] for l in out.splitlines() if l.startswith("    1")]
    bda.said(rows == [["11362H22000", "DVB-S2", "8PSK"], ["11244H22000", "DVB-S", "QPSK"],
                      ["11493H22000", "DVB-S2", "8PSK"]], "the three transponders of our 19.2E NIT, S2 ones named", out)
    out = probe_with(None)
    bda.said("Broadcast: the card delivered no transport stream" in out and "Broadcast: the satellite" not in out,
             "a card without a stream: said so, and no identity", out)


if __name__ == "__main__":
    scenarios = {name[len("scenario_"):]: f for name, f in globals().items() if name.startswith("scenario_")}
    scenarios[e2e.SCENARIO]()
    print(f"{e2e.SCENARIO}: {len(e2e.failures)} failed")
    sys.exit(1 if e2e.failures else 0)
