#!/usr/bin/env python3
"""Transport streams of our own for the identity runs (ETSI EN 300 468 tables):
a NIT at 19.2E naming itself "ASTRA 1" with a trailing zero byte, as a real one
does, with its SDT; a stream with that SDT but no NIT; the SDT of the Hot Bird recording's
transport stream without its NIT; and Astra's stream whose tables come only
after a while.

usage: make_streams.py astra|nonit|hotbird_sdt|astra_late OUT.ts
"""
import struct
import sys


def crc32_mpeg2(data):
    crc = 0xFFFFFFFF
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def bcd(value, digits):
    return int(str(value).rjust(digits, "0"), 16)


def section(table_id, id_field, body, number=0, last=0, version=1):
    """A long-form section: header, body and CRC."""
    length = 5 + len(body) + 4
    head = struct.pack(">BHHBBB", table_id, 0xB000 | length, id_field, 0xC1 | (version << 1), number, last)
    data = head + body
    return data + struct.pack(">I", crc32_mpeg2(data))


def satellite_descriptor(mhz, position_tenths, east, polarisation, symbol_ksps, s2, modulation):
    """Satellite delivery system descriptor (tag 0x43)."""
    flags = (east << 7) | ("HVLR".index(polarisation) << 5) | (s2 << 2) | modulation
    body = struct.pack(">IHBI", bcd(mhz * 100, 8), bcd(position_tenths, 4), flags, (bcd(symbol_ksps * 10, 7) << 4) | 3)
    return bytes([0x43, len(body)]) + body


def nit(network_id, name, transponders):
    """NIT actual: the network name descriptor and one entry per (tsid, onid, descriptor)."""
    network = bytes([0x40, len(name)]) + name
    loop = b"".join(struct.pack(">HHH", tsid, onid, 0xF000 | len(d)) + d for tsid, onid, d in transponders)
    body = struct.pack(">H", 0xF000 | len(network)) + network + struct.pack(">H", 0xF000 | len(loop)) + loop
    return section(0x40, network_id, body)


def sdt(tsid, onid, services):
    """SDT actual with a service descriptor (tag 0x48) per (id, name)."""
    loop = b""
    for service_id, name in services:
        descriptor = bytes([0x48, 3 + len(name), 0x01, 0]) + bytes([len(name)]) + name
        loop += struct.pack(">HBH", service_id, 0xFC, 0x8000 | len(descriptor)) + descriptor
    return section(0x42, tsid, struct.pack(">HB", onid, 0xFF) + loop)


def packets(pid, data, counter):
    """The section in TS packets from a pointer field of 0; the next counter."""
    out, payload, first = b"", b"\x00" + data, True
    while payload:
        chunk, payload = payload[:184], payload[184:]
        out += struct.pack(">BHB", 0x47, (0x4000 if first else 0) | pid, 0x10 | counter) + chunk.ljust(184, b"\xFF")
        counter, first = (counter + 1) & 0x0F, False
    return out, counter


def null_packet():
    return struct.pack(">BHB", 0x47, 0x1FFF, 0x10) + b"\xFF" * 184


def stream(tables, repeats=20, fill=30):
    """The tables repeated, each round followed by stuffing, as a multiplex carries them."""
    counters, out = {}, b""
    for _ in range(repeats):
        for pid, data in tables:
            chunk, counters[pid] = packets(pid, data, counters.get(pid, 0))
            out += chunk
        out += null_packet() * fill
    return out


ASTRA_ONID = 1
ASTRA_TSID = 1057


def astra():
    transponders = [(ASTRA_TSID, ASTRA_ONID, satellite_descriptor(11362, 192, 1, "H", 22000, 1, 2)),
                    (1019, ASTRA_ONID, satellite_descriptor(11244, 192, 1, "H", 22000, 0, 1)),
                    (1117, ASTRA_ONID, satellite_descriptor(11493, 192, 1, "H", 22000, 1, 2))]
    return stream([(0x10, nit(1, b"ASTRA 1\x00", transponders)),
                   (0x11, sdt(ASTRA_TSID, ASTRA_ONID, [(11100, b"Das Erste HD"), (11110, b"ZDF HD")]))])


def nonit():
    return stream([(0x11, sdt(ASTRA_TSID, ASTRA_ONID, [(11100, b"Das Erste HD")]))])


# The transport stream of tests/data/broadcast/hotbird13e-mediaset.ts.
HOTBIRD_ONID = 272
HOTBIRD_TSID = 6000


def hotbird_sdt():
    return stream([(0x11, sdt(HOTBIRD_TSID, HOTBIRD_ONID, [(1, b"Italia 1")]))])


def astra_late():
    """Astra's stream from a moment without tables: 2.5 seconds of stuffing at
    the doubles' pace (1000 kB/s) before its first NIT and SDT, as a stream
    just tuned may bring (an SDT comes every 2 seconds, a NIT every 10)."""
    return null_packet() * 13300 + astra()


STREAMS = {"astra": astra, "nonit": nonit, "hotbird_sdt": hotbird_sdt}
# Written only by the runs that use it: 2.5 MB.
LATE_STREAMS = {"astra_late": astra_late}


if __name__ == "__main__":
    with open(sys.argv[2], "wb") as f:
        f.write(dict(STREAMS, **LATE_STREAMS)[sys.argv[1]]())
