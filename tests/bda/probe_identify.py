#!/usr/bin/env python3
"""bdaprobe --identify under Wine: the recording made off air, damaged copies,
a file name beyond ASCII, a stream whose names are not ASCII, and files that
hold no transport stream. Checks the exact bytes on standard output (UTF-8,
no code page conversion, no carriage returns) and the exit codes.

usage: probe_identify.py BUILD_DIR   (WINEPREFIX set; wine on the PATH)
"""
import os
import shutil
import subprocess
import sys
import tempfile

from probe_support import check, finish, run_probe, start_wine_quietly

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
RECORDING = os.path.join(ROOT, "tests", "data", "broadcast", "hotbird13e-mediaset.ts")

MEDIASET = (b"position: 13.0E\nnetwork: Mediaset\nnetwork id: 272\n"
            b"transport stream: 6000 (original network 272)\n"
            b"services: Italia 1, Canale 5, Rete 4, Iris, Boing, La 5, TgCom24, Mediaset EXTRA\n")


def identify(path):
    """bdaprobe's exit code, standard output bytes and standard error."""
    windows = subprocess.run(["winepath", "-w", path], capture_output=True, text=True).stdout.strip()
    return run_probe("--identify", windows)


def crc32_mpeg2(data):
    crc = 0xFFFFFFFF
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def section(table, ident, body):
    head = bytes([table]) + (0xB000 | (5 + len(body) + 4)).to_bytes(2, "big") + ident.to_bytes(2, "big")
    data = head + bytes([0xC1, 0, 0]) + body
    return data + crc32_mpeg2(data).to_bytes(4, "big")


def packet(pid, payload):
    data = bytes([0x47, 0x40 | (pid >> 8), pid & 0xFF, 0x10, 0]) + payload
    assert len(data) <= 188
    return data + b"\xff" * (188 - len(data))


def named_stream():
    """A NIT at 4.8E whose name is ISO 6937 with a diacritic and the euro sign,
    and an SDT whose service name is UTF-8 Greek."""
    name = b"\xC2Etoile 5\xA4"                         # "Étoile 5€"
    delivery = bytes([0x43, 11, 0x01, 0x17, 0x66, 0x00, 0x00, 0x48, 0x80 | 0x20 | 0x01,
                      0x02, 0x75, 0x00, 0x03])
    network = bytes([0x40, len(name)]) + name
    stream = (7).to_bytes(2, "big") + (70).to_bytes(2, "big") + (0xF000 | len(delivery)).to_bytes(2, "big") + delivery
    nit = section(0x40, 70, (0xF000 | len(network)).to_bytes(2, "big") + network +
                  (0xF000 | len(stream)).to_bytes(2, "big") + stream)
    service = b"\x15" + "Ελλάδα".encode("utf-8")
    descriptor = bytes([0x48, 3 + len(service), 1, 0, len(service)]) + service
    sdt = section(0x42, 7, (70).to_bytes(2, "big") + b"\xff" + (1).to_bytes(2, "big") + b"\xfc" +
                  (0x8000 | len(descriptor)).to_bytes(2, "big") + descriptor)
    null = bytes([0x47, 0x1F, 0xFF, 0x10]) + b"\xff" * 184
    return null * 3 + packet(0x10, nit) + packet(0x11, sdt) + null


def main():
    start_wine_quietly()
    folder = tempfile.mkdtemp(prefix="zentrik-identify-")
    try:
        whole = open(RECORDING, "rb").read()

        def write(name, data):
            path = os.path.join(folder, name)
            with open(path, "wb") as f:
                f.write(data)
            return path

        code, out, err = identify(RECORDING)
        check(code == 0 and out == MEDIASET, f"the Hot Bird recording: 13.0E, Mediaset, its ids and services (code {code}, said {out!r})")
        odd_name = write("Hot Bird 13°E – Mediaset.ts", whole)
        code, out, _ = identify(odd_name)
        check(code == 0 and out == MEDIASET, f"a file name beyond ASCII opens (code {code})")
        code, out, _ = identify(write("start.ts", whole[:188 * 20]))
        check(code == 0 and out.startswith(b"position: 13.0E\n") and b"transport stream: unknown\n" in out,
              f"the first 20 packets: the NIT without the SDT (code {code}, said {out!r})")
        # Both NIT packets (5 and 64) damaged: the SDT alone, no position.
        damaged = bytearray(whole)
        for index in (5, 64):
            damaged[index * 188 + 40] ^= 0x10
        code, out, _ = identify(write("damaged.ts", bytes(damaged)))
        check(code == 1 and out.startswith(b"position: unknown\nnetwork: unknown\nnetwork id: unknown\n"
                                           b"transport stream: 6000 (original network 272)\n"),
              f"a copy whose NIT fails its CRC: position unknown, exit code 1 (code {code}, said {out!r})")
        code, out, _ = identify(write("named.ts", named_stream()))
        expected = ("position: 4.8E\nnetwork: Étoile 5€\nnetwork id: 70\n"
                    "transport stream: 7 (original network 70)\nservices: Ελλάδα\n").encode("utf-8")
        check(code == 0 and out == expected, f"names beyond ASCII reach standard output as UTF-8 bytes (said {out!r})")
        for name, data in (("empty.ts", b""), ("text.ts", b"not a transport stream\n" * 100)):
            code, out, err = identify(write(name, data))
            check(code == 2 and out == b"" and "no transport stream" in err,
                  f"{name}: exit code 2, nothing on standard output (code {code}, said {err!r})")
        code, out, err = identify(os.path.join(folder, "missing.ts"))
        check(code == 2 and out == b"" and "cannot open" in err, f"a missing file: exit code 2 (code {code})")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return finish("probe_identify")


if __name__ == "__main__":
    sys.exit(main())
