#!/usr/bin/env python3
"""bdaprobe --make-list under Wine: the committed table makes the committed
list byte for byte, with its figures; another date's table and file names
beyond ASCII make lists the program reads; every kind of bad input exits 2
with the reason on standard error and leaves an existing list exactly as it
was, with nothing left beside it.

usage: probe_make_list.py BUILD_DIR   (WINEPREFIX set; wine on the PATH)
"""
import glob
import os
import re
import shutil
import sys
import tempfile

from probe_support import check, finish, run_probe, start_wine_quietly

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
# The table the current list is made from: the newest satlist/satellites-YYYY-MM-DD.xml.
TABLE = sorted(glob.glob(os.path.join(ROOT, "satlist", "satellites-*.xml")))[-1]
DATE = os.path.basename(TABLE)[11:21]
LIST = os.path.join(ROOT, "satlist", "satellite.ini")
# Tables of another date: its western slots (18 of them), and its eastern ones
# (12, of which 11 have something Zentrik can tune).
OTHER_DATES = [(os.path.join(ROOT, "tests", "data", "satlist", name), slots)
               for name, slots in (("satellites-2021-10-03-excerpt.xml", 18),
                                   ("satellites-2021-10-03-eastern-excerpt.xml", 11))]
MINE = b"[Mine   13.0e]=10723h29900;\r\n\r\n"
ENTRY = re.compile(rb"^\[[^\[\];]{1,23}   \d+\.\d[ew]\]=\d{4,5}[hv]\d{4,5};$")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def make_list(*arguments):
    """bdaprobe's exit code, standard output (its lines) and standard error."""
    code, out, err = run_probe("--make-list", *arguments)
    return code, out.decode("utf-8", "replace").replace("\r\n", "\n").splitlines(), err


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def entries(data):
    lines = data.split(b"\r\n")
    return lines[:lines.index(b"")] if b"" in lines else lines


def check_made(folder):
    out = os.path.join(folder, "satellite.ini")
    code, lines, err = make_list(windows_path(TABLE), windows_path(out), "--report")
    made = read(out) if os.path.exists(out) else b""
    check(code == 0 and made == read(LIST), f"the committed table makes the committed list (code {code}, {err!r})")
    count = len(entries(made))
    check(lines[:1] == [f"wrote {windows_path(out)}: {count} entries, {len(made)} bytes"], f"it says so: {lines[:1]}")
    check(f"entries that are a transponder of the data at their slot: {count} of {count}" in lines,
          "--report: every entry is a transponder of the data at its slot")
    check(any(re.match(r"^built-in slots still in the data: \d+ of 100; covered: \d+ \(\d+\.\d %\)$", line)
              for line in lines) and any(line.startswith("by kind: DVB-S QPSK ") for line in lines),
          "--report: the built-in slots and the kinds")

    for table, slots in OTHER_DATES:
        other = os.path.join(folder, "other.ini")
        code, lines, _ = make_list(windows_path(table), windows_path(other))
        listed = entries(read(other)) if os.path.exists(other) else []
        check(code == 0 and len(listed) == slots and all(ENTRY.match(line) for line in listed) and
              all(line.index(b"]") - 1 <= 31 for line in listed),
              f"{os.path.basename(table)} makes a list of its {slots} slots, names of at most 31 characters "
              f"(code {code}, {len(listed)} entries)")

    odd = shutil.copy(TABLE, os.path.join(folder, "Türksat 42°E – satellites.xml"))
    odd_out = os.path.join(folder, "liste été.ini")
    code, lines, _ = make_list(windows_path(odd), windows_path(odd_out))
    check(code == 0 and read(odd_out) == read(LIST), f"file names beyond ASCII (code {code})")


def check_refused(folder):
    table = read(TABLE)
    bomb = (b'<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;&lol;">]>'
            b'<satellites><sat name="&lol2;" position="130"/></satellites>')
    cases = [("missing.xml", None, "cannot be opened"), ("text.xml", b"not a table\n" * 100, "text before the root"),
             ("cut.xml", table[:200000], "cut short"), ("empty.xml", b"", "empty"),
             ("ka.xml", b'<satellites><sat name="20.0E Ka" position="200"><transponder frequency="19700000" '
                        b'symbol_rate="27500000" polarization="0" /></sat></satellites>', "Zentrik can tune"),
             ("bomb.xml", bomb, "DOCTYPE"), ("utf16.xml", "<a/>".encode("utf-16"), "UTF-16")]
    out = write(os.path.join(folder, "satellite.ini"), MINE)
    for name, data, says in cases:
        path = write(os.path.join(folder, name), data) if data is not None else os.path.join(folder, name)
        before = sorted(os.listdir(folder))
        code, lines, err = make_list(windows_path(path), windows_path(out))
        check(code == 2 and not lines and err.startswith(f"bdaprobe: {windows_path(path)}: ") and says in err,
              f"{name}: exit code 2 and why ({code}, {err.strip()!r})")
        check(read(out) == MINE and sorted(os.listdir(folder)) == before, f"{name}: the list and its folder as they were")
    code, _, err = make_list(windows_path(TABLE), windows_path(os.path.join(folder, "no such folder", "satellite.ini")))
    check(code == 2 and "no new file can be made" in err and not os.path.exists(os.path.join(folder, "no such folder")),
          f"an OUT_INI in a missing folder: exit code 2 ({err.strip()!r})")
    for arguments in ((), (windows_path(TABLE),), (windows_path(TABLE), windows_path(out), "--repor")):
        code, lines, err = make_list(*arguments)
        check(code == 2 and "Usage: bdaprobe --make-list" in err and read(out) == MINE,
              f"arguments {len(arguments)}: exit code 2 and the usage")


def main():
    start_wine_quietly()
    folder = tempfile.mkdtemp(prefix="zentrik-make-list-")
    try:
        check_made(folder)
        refused = os.path.join(folder, "refused")
        os.mkdir(refused)
        check_refused(refused)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return finish("probe_make_list")


if __name__ == "__main__":
    sys.exit(main())
