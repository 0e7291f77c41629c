#!/usr/bin/env python3
"""Makes the current satellite list from an Enigma2 satellites.xml and the
built-in list: one reference transponder per orbital slot, in the built-in
list's format, so that a dish pointed right at a slot gets a lock today.

usage: make_satellite_list.py [--xml FILE] [--builtin FILE] [--out FILE] [--report]
  (defaults: the repository's satlist/satellites-*.xml, resources/satellite_default.ini,
   satlist/satellite.ini)

Rules, in order:
- A slot is the orbital position an Enigma2 <sat> entry's name begins with
  ("13.0E Hotbird 13F/13G"). Its position attribute carries the band in the
  last tenth (a C-band entry of 133.0W is -1331 beside the Ku-band -1330), so
  the name, not the attribute, says which entries share a slot.
- A transponder can be tuned when its frequency rounded to MHz lies in
  3400-4200 or 10700-15000, its symbol rate rounded to ksym/s in 1000-45000,
  it is DVB-S QPSK, DVB-S2 QPSK or DVB-S2 8PSK, and it needs no stream
  selection the program cannot make (no is_id, no pls_code).
- A built-in slot is the data's slot nearest to its position within
  0.2 degrees (satellites are replaced a tenth or two beside the old
  position: 1.0w is now 0.8W, 38.0e is 38.2E). Every built-in slot whose data
  slot has a transponder to tune gets an entry, first come first served, in
  the built-in entry's band (C or Ku) when the data has that band there: a
  dish with a C-band LNB stays served. A further slot prefers Ku band, the
  common dish.
- Further slots follow, the busiest (most transponders, tunable or not)
  first, the western before the eastern among equals, up to MAX_ENTRIES
  entries in all.
- In a slot's band: DVB-S QPSK before DVB-S2 QPSK before DVB-S2 8PSK (a card
  with a maker's filter locks DVB-S only); then a symbol rate of 20000 or more
  before a narrower one; then linear before circular polarisation; then the
  lowest frequency, h before v, the higher symbol rate.
- Circular left is written h and right v, as receivers do with a circular LNB.
- Names: the data's designation (band and position taken off, spelled in
  ASCII, cut at a '&' or '/' part or a word when needed), three spaces and the
  position with one decimal and e or w; at most 32 characters, so the caption
  shown while measuring ends with the position. Entries sorted by name.
The same input gives the same bytes.
"""
import argparse
import glob
import os
import re
import sys
import unicodedata
import xml.etree.ElementTree as ElementTree

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
MIN_ENTRIES, MAX_ENTRIES = 100, 170
SLOT_TOLERANCE = 2  # tenths of a degree
CAPTION = 32
WIDE = 20000
# (system, modulation) -> rank; Enigma2: system 0 DVB-S, 1 DVB-S2; modulation 1 QPSK, 2 8PSK.
MODULATION_RANK = {(0, 1): 0, (1, 1): 1, (1, 2): 2}
MODULATION_NAME = {0: "DVB-S QPSK", 1: "DVB-S2 QPSK", 2: "DVB-S2 8PSK"}
# Enigma2 polarisation 0 horizontal, 1 vertical, 2 circular left, 3 circular right.
POLARISATION_LETTER = {0: "h", 1: "v", 2: "h", 3: "v"}
SLOT_NAME = re.compile(r"^\s*(\d+(?:\.\d)?)\s*([EW])\b\s*(.*)$", re.IGNORECASE)
BAND_WORD = re.compile(r"^(?:C|Ku|Ka|S|L|X)-band\s+", re.IGNORECASE)
BUILTIN_LINE = re.compile(rb"^\[(.*?)\s+(\d+(?:\.\d)?)([ew])\]=(\d+)([a-zA-Z])(\d+);$")


class ListError(Exception):
    pass


def in_bands(mhz):
    return 3400 <= mhz <= 4200 or 10700 <= mhz <= 15000


def is_c_band(mhz):
    return mhz <= 4200


def nearest(value, unit):
    return (value + unit // 2) // unit


def ascii_text(text):
    """The data's names in the list file's single-byte ASCII: accents dropped."""
    decomposed = unicodedata.normalize("NFKD", text)
    return "".join(c for c in decomposed if ord(c) < 128 and c.isprintable())


def designation(sat_name):
    """'13.0E Ku-band Hotbird 13F/13G' -> 'Hotbird 13F/13G'."""
    match = SLOT_NAME.match(sat_name)
    rest = BAND_WORD.sub("", match.group(3)) if match else sat_name
    rest = re.sub(r"[\[\];]", " ", ascii_text(rest))
    return " ".join(rest.split())


def position_text(tenths):
    return f"{abs(tenths) // 10}.{abs(tenths) % 10}{'w' if tenths < 0 else 'e'}"


def shorten(name, room):
    """Cuts a designation to `room` characters: the last ' & ' part first,
    then the last '/' part, then the last word, then plain characters."""
    while len(name) > room:
        for cut in (" & ", "/", " "):
            at = name.rfind(cut)
            if at > 0:
                name = name[:at].rstrip(" &/,-")
                break
        else:
            name = name[:room]
    return name


def slot_of(sat):
    """The slot in tenths (west negative) from the name, or from the
    attribute when the name does not begin with a position. A name and an
    attribute further apart than a band's tenth or two are refused: which one
    is right cannot be told."""
    name = sat.get("name", "")
    try:
        attribute = int(sat.get("position"))
    except (TypeError, ValueError):
        raise ListError(f"{name}: no readable position attribute") from None
    match = SLOT_NAME.match(name)
    if not match:
        return attribute
    tenths = round(float(match.group(1)) * 10) * (-1 if match.group(2).upper() == "W" else 1)
    if abs(tenths - attribute) > SLOT_TOLERANCE:
        raise ListError(f"{name}: the name's position and position=\"{attribute}\" disagree")
    return tenths


def read_transponder(element, sat_name):
    """One <transponder> as a dict, with the reason it cannot be tuned or None."""
    a = element.attrib
    try:
        khz, sps = int(a["frequency"]), int(a["symbol_rate"])
        pol, system, modulation = int(a["polarization"]), int(a.get("system", 0)), int(a.get("modulation", 1))
    except (KeyError, ValueError) as error:
        raise ListError(f"{sat_name}: a transponder without a readable {error}") from None
    t = {"mhz": nearest(khz, 1000), "ksym": nearest(sps, 1000), "pol": pol,
         "rank": MODULATION_RANK.get((system, modulation)), "sat": sat_name, "khz": khz, "sps": sps}
    if not in_bands(t["mhz"]):
        t["unusable"] = "frequency outside the program's bands"
    elif not 1000 <= t["ksym"] <= 45000:
        t["unusable"] = "symbol rate outside 1000-45000"
    elif t["rank"] is None:
        t["unusable"] = "modulation the list does not use"
    elif pol not in POLARISATION_LETTER:
        t["unusable"] = "unknown polarisation"
    elif "is_id" in a or "pls_code" in a:
        t["unusable"] = "needs a stream or scrambling selection"
    else:
        t["unusable"] = None
    return t


def read_slots(xml_path):
    """{slot tenths: {"names": [designations in file order], "all": [...], "usable": [...]}}."""
    try:
        root = ElementTree.parse(xml_path).getroot()
    except (OSError, ElementTree.ParseError) as error:
        raise ListError(f"{xml_path}: {error}") from None
    slots = {}
    for sat in root.iter("sat"):
        name = sat.get("name", "")
        slot = slots.setdefault(slot_of(sat), {"names": [], "all": [], "usable": []})
        slot["names"].append(designation(name))
        for element in sat.iter("transponder"):
            t = read_transponder(element, name)
            t["designation"] = designation(name)
            slot["all"].append(t)
            if not t["unusable"]:
                slot["usable"].append(t)
    if not slots:
        raise ListError(f"{xml_path}: no <sat> entries")
    return slots


def read_builtin(path):
    """[(position tenths, frequency MHz, line)] of the built-in list, in file order."""
    entries = []
    with open(path, "rb") as f:
        for line in f.read().split(b"\r\n"):
            if not line:
                continue
            match = BUILTIN_LINE.match(line)
            if not match:
                raise ListError(f"{path}: an entry not in the list's form: {line!r}")
            tenths = round(float(match.group(2)) * 10)
            entries.append((-tenths if match.group(3) == b"w" else tenths, int(match.group(4)), line))
    return entries


def data_slot_for(position, slots):
    """The data's slot nearest a built-in position, within the tolerance; None if none."""
    near = [(abs(s - position), s) for s in slots if abs(s - position) <= SLOT_TOLERANCE]
    return min(near)[1] if near else None


def choose_transponder(usable, c_band):
    """The slot's reference transponder, in C band when c_band is true, else
    in Ku band, as long as the slot has one there."""
    same_band = [t for t in usable if is_c_band(t["mhz"]) == c_band]

    def key(t):
        return (t["rank"], t["ksym"] < WIDE, t["pol"] >= 2, t["mhz"], POLARISATION_LETTER[t["pol"]],
                -t["ksym"], t["khz"], t["sps"])

    return min(same_band or usable, key=key)


def entry_line(slot, t):
    position = position_text(slot)
    name = shorten(t["designation"] or "Satellite", CAPTION - 3 - len(position))
    value = f"{t['mhz']}{POLARISATION_LETTER[t['pol']]}{t['ksym']}"
    return f"[{name}   {position}]={value};"


def plan(slots, builtin, max_entries=MAX_ENTRIES):
    """[(slot, transponder, built-in line or None)] and the built-in slots' fate."""
    chosen, fate = {}, []
    for position, mhz, line in builtin:
        slot = data_slot_for(position, slots)
        if slot is None:
            fate.append((line, None, "not in the data"))
        elif slot in chosen:
            fate.append((line, slot, "slot taken by an earlier built-in entry"))
        elif not slots[slot]["usable"]:
            fate.append((line, slot, "no transponder the program can tune"))
        else:
            chosen[slot] = (choose_transponder(slots[slot]["usable"], is_c_band(mhz)), line)
            fate.append((line, slot, "covered"))
    busiest = sorted((s for s in slots if s not in chosen and slots[s]["usable"]),
                     key=lambda s: (-len(slots[s]["all"]), s))
    for slot in busiest[:max(0, max_entries - len(chosen))]:
        chosen[slot] = (choose_transponder(slots[slot]["usable"], False), None)
    return [(s, t, line) for s, (t, line) in chosen.items()], fate


def sort_key(line):
    return (line[1:2].upper(), line.lower(), line)


def make_list(slots, builtin, max_entries=MAX_ENTRIES):
    entries, fate = plan(slots, builtin, max_entries)
    lines = sorted((entry_line(s, t) for s, t, _ in entries), key=sort_key)
    text = "".join(line + "\r\n" for line in lines) + "\r\n"
    return text.encode("ascii"), entries, fate


def in_data(line, slots):
    """True when a written entry is, read back, a transponder of the data at
    the position its name ends with."""
    match = BUILTIN_LINE.match(line)
    if not match:
        return False
    tenths = round(float(match.group(2)) * 10) * (-1 if match.group(3) == b"w" else 1)
    mhz, letter, ksym = int(match.group(4)), match.group(5).decode(), int(match.group(6))
    return any(t["mhz"] == mhz and POLARISATION_LETTER.get(t["pol"]) == letter and t["ksym"] == ksym
               for t in slots.get(tenths, {"all": []})["all"])


def figures(slots, data, entries, fate):
    """The list's measures: entries present in the data at their slot, the
    built-in slots covered, and DVB-S QPSK where the slot has one."""
    present = sum(1 for line in data.split(b"\r\n") if line and in_data(line, slots))
    carried = [f for f in fate if f[1] is not None]
    covered = [f for f in carried if f[2] == "covered"]
    with_qpsk = [(s, t) for s, t, _ in entries if any(u["rank"] == 0 for u in slots[s]["usable"])]
    qpsk = [1 for s, t in with_qpsk if t["rank"] == 0]
    return {"entries": len(entries), "present": present, "builtin": len(fate), "carried": len(carried),
            "covered": len(covered), "with_qpsk": len(with_qpsk), "qpsk": len(qpsk)}


def print_report(slots, data, entries, fate, out=sys.stdout):
    f = figures(slots, data, entries, fate)
    share = lambda a, b: 100.0 * a / b if b else 100.0
    print(f"entries: {f['entries']}", file=out)
    print(f"entries that are a transponder of the data at their slot: {f['present']} of {f['entries']}", file=out)
    print(f"built-in slots still in the data: {f['carried']} of {f['builtin']}; covered: {f['covered']} "
          f"({share(f['covered'], f['carried']):.1f} %)", file=out)
    print(f"entries whose slot has a DVB-S QPSK transponder: {f['with_qpsk']}; DVB-S QPSK: {f['qpsk']} "
          f"({share(f['qpsk'], f['with_qpsk']):.1f} %)", file=out)
    kinds = {}
    for _, t, _ in entries:
        kinds[MODULATION_NAME[t["rank"]]] = kinds.get(MODULATION_NAME[t["rank"]], 0) + 1
    print("by kind: " + ", ".join(f"{k} {v}" for k, v in sorted(kinds.items())), file=out)
    for line, slot, what in fate:
        if what != "covered":
            where = position_text(slot) if slot is not None else "-"
            print(f"  built-in {line.decode('ascii', 'replace')} ({where}): {what}", file=out)


def default_xml():
    found = sorted(glob.glob(os.path.join(ROOT, "satlist", "satellites-*.xml")))
    return found[-1] if found else None


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--xml", default=default_xml())
    parser.add_argument("--builtin", default=os.path.join(ROOT, "resources", "satellite_default.ini"))
    parser.add_argument("--out", default=os.path.join(ROOT, "satlist", "satellite.ini"))
    parser.add_argument("--max-entries", type=int, default=MAX_ENTRIES)
    parser.add_argument("--report", action="store_true", help="print the list's figures")
    args = parser.parse_args(argv)
    try:
        if not args.xml:
            raise ListError("no satlist/satellites-*.xml: name one with --xml")
        slots = read_slots(args.xml)
        data, entries, fate = make_list(slots, read_builtin(args.builtin), args.max_entries)
        if len(entries) < MIN_ENTRIES:
            raise ListError(f"only {len(entries)} slots have a transponder to tune; the list wants {MIN_ENTRIES}")
    except ListError as error:
        print(f"make_satellite_list: {error}", file=sys.stderr)
        return 1
    with open(args.out, "wb") as f:
        f.write(data)
    print(f"wrote {args.out}: {len(entries)} entries, {len(data)} bytes")
    if args.report:
        print_report(slots, data, entries, fate)
    return 0


if __name__ == "__main__":
    sys.exit(main())
