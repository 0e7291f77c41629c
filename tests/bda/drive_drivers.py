#!/usr/bin/env python3
"""End-to-end runs of the real Zentrik.exe through the BDA bridge against
doubles that behave as real drivers do where they differ from Microsoft's
documentation: each scenario is one such behaviour, chosen by the doubles'
script, and checked by the screen and by what the doubles were told.

usage: drive_drivers.py BUILD_DIR SCENARIO   (DISPLAY set, WINEPREFIX = the BDA prefix)
"""
import contextlib
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drive_bda as bda  # noqa: E402  (BUILD and SCENARIO come from the same arguments)
from drive_bda import BdaProgram, bar_at, check, log_lines, never_released, search_line, tunes  # noqa: E402

LOCKED = "at 0 locked 1 strength 50 quality 50\n"
TWIN_PATH = "\\\\?\\zentrik#double#twin#{71985f48-1ca1-11d3-9cc8-00c04f7971e0}"
MODULATION_DWELL_MS = 3000  # the bridge's QPSK/8PSK alternation
QPSK, PSK8, UNSET = 20, 27, -1


def shows_level_50(p, name):
    """Whether the bar reaches 50% (before the give-up deadline)."""
    return p.wait_screen(name, lambda s: bar_at(s, p, 50), bda.e2e.GIVE_UP) is not None


def measure_hotbird(script):
    """Starts the program with the script and measures HotBird from the list."""
    p = BdaProgram(script)
    p.wait_built()
    p.key("h", "h", "Return")  # HellasSat, then HotBird; Enter starts it
    return p


def error_box_text(p):
    """The texts of an Error box that came up instead, if one did."""
    return p.answer_box("Error", f"{bda.e2e.SCENARIO}-error") or []


def finish(p, released=True):
    """Esc ends the program with exit code 0, leaving no filter running."""
    p.key("Escape")
    pressed = time.monotonic()
    check(p.wait_exit() == 0, "Esc closes the program with exit code 0")
    print(f"     (Esc to exit: {time.monotonic() - pressed:.1f} s)")
    _, running = bda.run_and_stopped(p.log_text())
    left = never_released(p.log_text()) if released else []
    check(running == [] and left == [], f"no filter is left running and every BDA object is released "
                                        f"(running {running}, left {left})")


def made_by(text, kind):
    """The ids (as "Kind#n") of the objects of a kind the doubles made."""
    return [obj for _, _, obj, what, _ in log_lines(text) if what == "Create" and obj.startswith(kind + "#")]


def locks_answered(text):
    """(node, node type, its filter) of every get_SignalLocked a node answered."""
    lines = log_lines(text)
    made = {}  # "Node#7": (1, "Receiver#5"), from its "type 1 of Receiver#5" line
    for _, _, obj, what, rest in lines:
        if obj.startswith("Node#") and what == "type":
            made[obj] = (int(rest.split()[0]), rest.split()[-1])
    return [(obj, *made.get(obj, (None, None))) for _, _, obj, what, rest in lines
            if obj.startswith("Node#") and what == "get_SignalLocked" and rest.startswith("0x00000000")]


def opened_nodes(text):
    """(pin in, pin out, node type) of every GetControlNode that gave a node."""
    return [tuple(int(v) for v in rest.split()[1:4]) for _, _, _, what, rest in log_lines(text)
            if what == "GetControlNode" and rest.startswith("0x00000000")]


def tune_with_level(p, what, cause):
    """The bar at 50% shows; if not, says what the screen or a box showed instead."""
    ok = shows_level_50(p, "level-50")
    check(ok, what if ok else f"{what} (instead: {error_box_text(p) or cause})")
    return ok


def measured(script, what, cause, check_log):
    """HotBird measured with the doubles' script: the level, then the log's own
    check, then the end; cause says what an old bridge would make of it."""
    p = measure_hotbird(script)
    try:
        tune_with_level(p, what, cause)
        check_log(p.log_text())
        finish(p)
    finally:
        p.close()


def scenario_receiver():
    """A two-filter card: the demodulator node, the one with statistics, is the receiver component's."""
    def read_from_receiver(text):
        receivers = made_by(text, "Receiver")
        sources = {owner.split("#")[0] for _, _, owner in locks_answered(text)}
        check(bool(receivers) and sources == {"Receiver"},
              f"the lock is read from the receiver's demodulator (receivers {receivers}, lock from {sources})")
    measured("receiver\n" + LOCKED, "the lock and level of a two-filter card reach the bar (50%)",
             "no statistics node answered", read_from_receiver)


def scenario_pins():
    """The nodes open only at the pins the topology names (2 -> 3), not at 0 -> 1."""
    def opened_at_named_pins(text):
        opened = opened_nodes(text)
        check(bool(opened) and all((i, o) == (2, 3) for i, o, _ in opened),
              f"every node was opened at pins 2 -> 3 (opened {opened})")
    measured("pins 2 3\n" + LOCKED, "nodes reached at the topology's pins give lock and level (50%)",
             "no node opened at pins 0 -> 1", opened_at_named_pins)


def scenario_provider_strength():
    """No node has signal statistics: the network provider's own strength stands in."""
    def read_from_provider(text):
        asked = [rest for _, _, obj, what, rest in log_lines(text)
                 if obj.startswith("Provider#") and what == "get_SignalStrength"]
        check(any(r.startswith("0x00000000 50") for r in asked),
              f"read from ITuner::get_SignalStrength ({len(asked)} reads)")
    measured("nostatistics\n" + bda.SEARCHING + "at 1000 locked 1 strength 50 quality 50\n",
             "the network provider's strength gives lock and level (50%)", "no statistics node answered",
             read_from_provider)


def scenario_rf_unlocked():
    """The RF tuner node's lock is a PLL lock the driver never sets: the demodulator's counts."""
    def read_from_demodulator(text):
        types = {node_type for _, node_type, _ in locks_answered(text)}
        check(types == {1}, f"the lock is read from the demodulator, node type 1 (read from types {types})")
    measured("rfunlocked\n" + LOCKED, "the demodulator's lock shows (50%) although the RF node never locks",
             "the lock read from the RF node", read_from_demodulator)


def scenario_dvbs2():
    """A DVB-S2 transponder that locks only with 8PSK: QPSK first, 8PSK once QPSK finds nothing."""
    def qpsk_then_8psk(text):
        sent = [(ms, int(rest.split()[rest.split().index("modulation") + 1]))
                for ms, _, _, what, rest in log_lines(text) if what == "TUNE" and "modulation" in rest]
        check([m for _, m in sent] == [QPSK, PSK8], f"tuned with QPSK, then 8PSK (sent {sent})")
        check(len(sent) == 2 and sent[1][0] - sent[0][0] >= MODULATION_DWELL_MS,
              f"8PSK only after QPSK had its {MODULATION_DWELL_MS} ms (sent {sent})")
    measured(f"modulation {PSK8}\n" + LOCKED, "the 8PSK transponder locks (50%)", "QPSK only", qpsk_then_8psk)


def scenario_unset_modulation():
    """A driver that refuses a tune request naming a modulation: it is asked again without."""
    def sent_unset(text):
        last = (tunes(text) or [{}])[-1]
        check(last.get("modulation") == UNSET, f"the request that went through names no modulation ({last})")
    measured("modulation unset\n" + LOCKED, "the card locks (50%) with the modulation left to the driver",
             "the tune refused", sent_unset)


def diseqc_applied(text):
    """(enabled, source) each time the tuner's DiSEqC settings took effect."""
    return [(int(r.split()[2]), int(r.split()[4])) for _, _, obj, what, r in log_lines(text)
            if what == "DISEQC" and r.startswith("applied")]


def reads_since(text, marker):
    """How many strength reads the doubles answered after the first line with the marker."""
    lines = text.splitlines()
    at = next((i for i, line in enumerate(lines) if marker in line), len(lines))
    return sum(1 for line in lines[at + 1:] if " get_SignalStrength 0x00000000 " in line)


def glitch_then_level(p):
    """After the one stray strength reading the bar stays at 50%: looked at once
    ten more readings have been taken, so the screen has had them to show."""
    check(bda.e2e.wait_for(lambda: reads_since(p.log_text(), "GLITCH") >= 10), "the stray reading was read")
    shots = [bar_at(p.shot(f"after-glitch-{i}"), p, 50) for i in range(3)]
    check(all(shots), f"after a stray reading of 40000 the bar still shows 50% (in shots: {shots})")


def scenario_diseqc_and_glitch():
    """DiSEqC that applies only on commit, set and then reset; and one stray strength reading."""
    p = BdaProgram("commit\n" + LOCKED + "glitch 1000 40000\n")
    try:
        p.wait_built()
        p.click(73, 174)  # MODE 0 -> keypad
        bda.e2e.type_on_keypad(p, "C11743H8000B")
        p.click(272, 174)  # FIND>
        check(p.wait_tune() is not None, "11743H8000B reaches the card")
        applied = diseqc_applied(p.log_text())
        check(applied[-1:] == [(1, 2)], f"port B takes effect: set inside a committed change (applied {applied})")
        glitch_then_level(p)
        p.click(175, 174)  # <BACK
        bda.e2e.type_on_keypad(p, "C12245H27500")
        p.click(272, 174)
        bda.e2e.wait_for(lambda: len(tunes(p.log_text())) >= 2)
        applied = diseqc_applied(p.log_text())
        check(len(tunes(p.log_text())) >= 2 and applied[-1:] == [(0, 2)],
              f"a line without DiSEqC letters switches DiSEqC off again (applied {applied})")
        finish(p)
    finally:
        p.close()


def scenario_busy():
    """The first tuner is held by another program and will not run: the next one is used."""
    def ran_twin(text):
        ran = [obj for _, _, obj, what, rest in log_lines(text) if what == "Run" and rest.startswith("0x0000")]
        check(any(o.startswith("Twin#") for o in ran), f"the graph runs with the other tuner (ran {ran})")
    measured("tuners 2\nfail Tuner.Run 0x800700AA\n" + LOCKED, "the second tuner measures (50%)",
             "the first tuner's failure", ran_twin)


@contextlib.contextmanager
def device_setting(value):
    """HKCU\\Software\\Zentrik\\BdaTuner, Device, for the time of the block."""
    key = "HKCU\\Software\\Zentrik\\BdaTuner"
    bda.e2e.run("wine", "reg", "add", key, "/v", "Device", "/d", value, "/f", check=False)
    try:
        yield
    finally:
        bda.e2e.run("wine", "reg", "delete", key, "/v", "Device", "/f", check=False)


def scenario_twin_by_path():
    """Two tuners with one friendly name: the Device setting names the second by its device path."""
    def opened_only_twin(text):
        check(made_by(text, "Twin") and not made_by(text, "Tuner"),
              f"only the named twin was opened (twins {made_by(text, 'Twin')}, others {made_by(text, 'Tuner')})")
    with device_setting(TWIN_PATH):
        measured("tuners 2\n" + LOCKED, "the tuner named by device path measures (50%)", "no device of that name",
                 opened_only_twin)


def scenario_cold():
    """A cold tuner connects only after a tune request: a default one goes first."""
    def default_request_first(text):
        sent = [t["frequency"] for t in tunes(text)]
        check(sent[:1] == [-1] and 10723000 in sent, f"a default request, then HotBird's (frequencies {sent})")
    measured("cold\n" + LOCKED, "the cold tuner measures (50%)", "the connection refused", default_request_first)


def scenario_generic_provider():
    """No DVB-S network provider on the PC: Microsoft's generic one drives the card."""
    def tuned_by_generic(text):
        generic = [obj for _, _, obj, what, _ in log_lines(text) if what == "TUNE"]
        check(bool(generic) and all(o.startswith("Generic#") for o in generic),
              f"the tune requests go through the generic provider ({generic})")
    measured("fail Create.Provider 0x80040154\n" + LOCKED, "the generic provider's graph measures (50%)",
             "no DVB-S network provider", tuned_by_generic)


def scenario_blocked_statistics():
    """A statistics call that blocks for a minute: no lock is shown, and Esc still ends the program."""
    p = measure_hotbird(LOCKED + "hang GATE:block Node.get_SignalLocked 60000\n")
    try:
        check(shows_level_50(p, "before-block"), "locked at 50% before the driver blocks")
        p.open_gate("block")
        check(bda.e2e.wait_for(lambda: " HANG " in p.log_text()), "a statistics call blocks")
        check(p.wait_screen("blocked", lambda s: search_line(s, p), bda.e2e.GIVE_UP) is not None,
              "the read that overran reads as no lock: the searching line")
        p.key("Escape")
        pressed = time.monotonic()
        # Five seconds are what a user waits. The bridge lets go of a driver it
        # already knows blocked at once, so the program ends in about the
        # second its shutdown takes; the deadline here is three times the five
        # seconds, so that load cannot break the test, and a quarter of the
        # blocked minute, which a bridge that waits for the driver runs into
        # (shorter than the other waits' give-up on purpose).
        code = p.wait_exit(15)
        print(f"     (Esc to exit: {time.monotonic() - pressed:.1f} s)")
        check(code == 0, f"Esc ends the program with exit code 0 while the driver call blocks (code {code})")
        check("HANG over" not in p.log_text(), "without waiting for the blocked call")
    finally:
        p.close()


def scenario_cost():
    """Every other read finds no signal: one read must serve the lock and its level; nodes are kept."""
    p = measure_hotbird("flip\n" + LOCKED)
    try:
        check(shows_level_50(p, "level-50"),
              "a read that finds the lock gives its own level (50%), not the next read's 0")
        before = sum(1 for line in log_lines(p.log_text()) if line[3] in ("GetControlNode", "GetNodeTypes"))
        reads = sum(1 for line in log_lines(p.log_text()) if line[3] == "get_SignalLocked")
        time.sleep(1)
        after = sum(1 for line in log_lines(p.log_text()) if line[3] in ("GetControlNode", "GetNodeTypes"))
        more = sum(1 for line in log_lines(p.log_text()) if line[3] == "get_SignalLocked") - reads
        check(more > 0 and after == before,
              f"while measuring, the nodes are not looked up again ({more} reads, {after - before} look-ups)")
        finish(p)
    finally:
        p.close()


if __name__ == "__main__":
    scenarios = {name[len("scenario_"):]: f for name, f in globals().items() if name.startswith("scenario_")}
    scenarios[bda.e2e.SCENARIO]()
    print(f"{bda.e2e.SCENARIO}: {len(bda.e2e.failures)} failed")
    sys.exit(1 if bda.e2e.failures else 0)
