#!/usr/bin/env python3
"""The current satellite list's generator: its rules on small transponder
tables made here, and the committed list against the repository's table."""
import io
import os
import random
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TOOL = os.path.join(ROOT, "tools", "satlist", "make_satellite_list.py")
sys.path.insert(0, os.path.dirname(TOOL))
import make_satellite_list as gen  # noqa: E402

# (khz, ksym*1000 sps, polarisation, system, modulation, extra attributes)
QPSK, S2_QPSK, S2_8PSK, S2_16APSK = (0, 1), (1, 1), (1, 2), (1, 4)


def tp(khz, sps, pol=0, kind=QPSK, extra=""):
    return (f'<transponder frequency="{khz}" symbol_rate="{sps}" polarization="{pol}" fec_inner="3" '
            f'system="{kind[0]}" modulation="{kind[1]}"{extra} />')


def sat(name, position, *transponders):
    return f'<sat name="{name}" flags="1" position="{position}">' + "".join(transponders) + "</sat>"


def xml(*sats):
    return '<?xml version="1.0" encoding="UTF-8"?><satellites>' + "".join(sats) + "</satellites>"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def builtin(*lines):
    return ("".join(line + "\r\n" for line in lines) + "\r\n").encode("ascii")


class Generator:
    """Runs the generator's steps on text held in temporary files."""

    def __init__(self, test, xml_text, builtin_bytes=b"\r\n", max_entries=gen.MAX_ENTRIES):
        folder = tempfile.mkdtemp(prefix="satlist-test-")
        test.addCleanup(lambda: subprocess.run(["rm", "-rf", folder]))
        self.xml = os.path.join(folder, "satellites.xml")
        self.builtin = os.path.join(folder, "builtin.ini")
        self.out = os.path.join(folder, "satellite.ini")
        with open(self.xml, "w", encoding="utf-8") as f:
            f.write(xml_text)
        with open(self.builtin, "wb") as f:
            f.write(builtin_bytes)
        self.slots = gen.read_slots(self.xml)
        self.data, self.entries, self.fate = gen.make_list(self.slots, gen.read_builtin(self.builtin), max_entries)
        self.lines = self.data.decode("ascii").split("\r\n")[:-2]

    def line_at(self, position):
        found = [line for line in self.lines if line.split("]")[0].endswith("   " + position)]
        return found[0] if len(found) == 1 else found


class TranspondersChosen(unittest.TestCase):
    def test_modulation_order_then_width_then_band(self):
        g = Generator(self, xml(
            sat("13.0E Hotbird", 130,
                tp(11000000, 30000000, 0, S2_8PSK), tp(11100000, 30000000, 0, S2_QPSK),
                tp(11200000, 5000000, 1, QPSK), tp(11300000, 27500000, 1, QPSK),
                tp(10800000, 30000000, 0, S2_16APSK)),
            sat("19.2E Astra", 192, tp(11000000, 30000000, 0, S2_8PSK), tp(11500000, 22000000, 1, S2_QPSK)),
            sat("23.5E Only 8PSK", 235, tp(12000000, 27500000, 1, S2_8PSK), tp(11000000, 30000000, 0, S2_16APSK)),
            sat("28.2E Only 16APSK", 282, tp(11000000, 30000000, 0, S2_16APSK))))
        self.assertEqual(g.line_at("13.0e"), "[Hotbird   13.0e]=11300v27500;")  # DVB-S wide, not the lower narrow one
        self.assertEqual(g.line_at("19.2e"), "[Astra   19.2e]=11500v22000;")
        self.assertEqual(g.line_at("23.5e"), "[Only 8PSK   23.5e]=12000v27500;")
        self.assertEqual(g.line_at("28.2e"), [], "a slot with nothing to tune has no entry")

    def test_circular_left_is_h_and_right_is_v_after_linear(self):
        g = Generator(self, xml(sat("1.9E Left", 19, tp(12000000, 30000000, 2)),
                                sat("3.0E Right", 30, tp(12100000, 30000000, 3)),
                                sat("4.8E Both", 48, tp(11000000, 30000000, 2), tp(12500000, 30000000, 1))))
        self.assertEqual(g.line_at("1.9e"), "[Left   1.9e]=12000h30000;")
        self.assertEqual(g.line_at("3.0e"), "[Right   3.0e]=12100v30000;")
        self.assertEqual(g.line_at("4.8e"), "[Both   4.8e]=12500v30000;", "linear before circular")

    def test_frequencies_and_rates_outside_what_the_program_takes_are_left_out(self):
        g = Generator(self, xml(
            sat("7.0W Edges", -70,
                tp(4500000, 30000000), tp(19700000, 30000000), tp(10699499, 30000000), tp(15000501, 30000000),
                tp(11000000, 999499), tp(11000000, 45000500), tp(11000000, 30000000, 0, QPSK, ' is_id="1"'),
                tp(11100000, 30000000, 0, QPSK, ' pls_mode="1" pls_code="262140"'),
                tp(10699500, 4000000, 1)),
            sat("9.0E Ka", 92, tp(19700000, 30000000))))
        # 10699.5 MHz rounds to 10700, the band's edge; everything else is refused.
        self.assertEqual(g.line_at("7.0w"), "[Edges   7.0w]=10700v4000;")
        self.assertEqual(g.line_at("9.0e"), [])

    def test_a_built_in_c_band_slot_stays_c_band_and_a_ku_slot_ku(self):
        g = Generator(self, xml(
            sat("133.0W C-band Galaxy 33", -1331, tp(4150000, 11936000, 0, QPSK), tp(4060000, 30000000, 1, S2_8PSK)),
            sat("133.0W Ku-band Galaxy 33", -1330, tp(11980000, 30000000, 0, QPSK)),
            sat("10.0E C-band Eutelsat 10B", 101, tp(4108000, 27500000, 0, QPSK)),
            sat("10.0E Ku-band Eutelsat 10B", 100, tp(11221000, 24760000, 1, S2_QPSK)),
            sat("87.5E C-band ChinaSat 12", 876, tp(4035000, 27500000, 0, S2_8PSK)),
            sat("57.0E Ku-band NSS 12", 570, tp(11000000, 27500000, 0, QPSK))),
            builtin("[Galaxy1R   133.0w]=4020v29270;", "[Eutelsat W1   10.0e]=11607h27500;",
                    "[ChinaStar       87.5e]=3900v27500;", "[NSS 703   57.0e]=3980v28000;"))
        self.assertEqual(g.line_at("133.0w"), "[Galaxy 33   133.0w]=4150h11936;")
        self.assertEqual(g.line_at("10.0e"), "[Eutelsat 10B   10.0e]=11221v24760;")
        self.assertEqual(g.line_at("87.5e"), "[ChinaSat 12   87.5e]=4035h27500;")
        self.assertEqual(g.line_at("57.0e"), "[NSS 12   57.0e]=11000h27500;", "Ku where the data has no C band")
        self.assertEqual(len(g.lines), 4, "one entry per slot, whatever its position attributes")


class SlotsChosen(unittest.TestCase):
    def test_built_in_positions_find_a_slot_within_two_tenths(self):
        g = Generator(self, xml(
            sat("0.8W Thor", -8, tp(10800000, 30000000)),
            sat("38.2E C-band Paksat", 383, tp(3707000, 27500000)),
            sat("72.1E C-band Intelsat 22", 722, tp(3786000, 27500000)),
            sat("45.3E Too far", 453, tp(11000000, 27500000))),
            builtin("[Thor 2/3   1.0w]=3912v8022;", "[Paksat1   38.0e]=4049h6500;", "[PAS 4 72.0e]=3857v40000;",
                    "[Old   45.0e]=11000h27500;", "[Twin   72.0e]=11000h27500;"), max_entries=0)
        self.assertEqual(sorted(line.split("]")[0] for line in g.lines),
                         ["[Intelsat 22   72.1e", "[Paksat   38.2e", "[Thor   0.8w"])
        fate = [what for _, _, what in g.fate]
        self.assertEqual(fate, ["covered", "covered", "covered", "not in the data",
                                "slot taken by an earlier built-in entry"])

    def test_further_slots_busiest_first_up_to_the_limit(self):
        sats = [sat(f"{d}.0E S{d}", d * 10, *[tp(11000000 + 10000 * k, 27500000) for k in range(d)])
                for d in range(1, 9)]
        g = Generator(self, xml(*sats), builtin("[Built   2.0e]=11000h27500;"), max_entries=4)
        self.assertEqual(sorted(line.split("]")[0] for line in g.lines),
                         ["[S2   2.0e", "[S6   6.0e", "[S7   7.0e", "[S8   8.0e"])


class FileWritten(unittest.TestCase):
    def setUp(self):
        self.table = xml(
            sat("36.0E Eutelsat 36D &amp; Express AMU1", 360, tp(12207000, 27500000)),
            sat("116.9W Ku-band Eutelsat 117 West A/B", -1169, tp(12100000, 30000000, 1)),
            sat("42.0E Türksat [3A];4A", 420, tp(11345000, 29750000, 1)),
            sat("99.1W C-band Galaxy 16", -992, tp(3719000, 4167000)),
            sat("1.9E a lower-case name", 19, tp(11000000, 30000000)),
            sat("108.1E Ku-band Some Very Long Designation Without Parts", 1081, tp(11481000, 18750000)))

    def test_names_values_and_line_ends_are_what_the_program_reads(self):
        g = Generator(self, self.table)
        self.assertTrue(g.data.endswith(b";\r\n\r\n") and b"\n" not in g.data.replace(b"\r\n", b""))
        self.assertEqual(g.lines, sorted(g.lines, key=gen.sort_key))
        self.assertEqual([line[1].upper() for line in g.lines], sorted(line[1].upper() for line in g.lines))
        for line in g.lines:
            name, value = line[1:].split("]=")
            self.assertLessEqual(len(name), 32, line)
            self.assertRegex(name, r"^[^\[\];]+   \d+\.\d[ew]$")
            self.assertLessEqual(len(value) - 1, 11, f"{line}: the reader takes 11 characters")
            self.assertRegex(value, r"^\d{4,5}[hv]\d{4,5};$")
        self.assertIn("[Eutelsat 36D   36.0e]=12207h27500;", g.lines)
        self.assertIn("[Eutelsat 117 West A/B   116.9w]=12100v30000;", g.lines)
        self.assertIn("[Turksat 3A 4A   42.0e]=11345v29750;", g.lines)
        self.assertIn("[Galaxy 16   99.1w]=3719h4167;", g.lines)
        self.assertIn("[Some Very Long   108.1e]=11481h18750;", g.lines)

    def test_the_same_table_in_any_order_gives_the_same_bytes(self):
        first = Generator(self, self.table).data
        sats = self.table.split("<sat ")
        shuffled = sats[1:]
        random.Random(7).shuffle(shuffled)
        again = Generator(self, sats[0] + "".join("<sat " + s.replace("</satellites>", "") for s in shuffled)
                          + "</satellites>").data
        self.assertEqual(first, again)

    def test_bad_input_is_refused_and_the_old_list_kept(self):
        g = Generator(self, self.table)
        with open(g.out, "wb") as f:
            f.write(b"[Mine   13.0e]=10723h29900;\r\n\r\n")
        for broken in ("<satellites><sat name='x'", "<satellites></satellites>",
                       xml(sat("13.0E Hotbird", 130, '<transponder frequency="x" />')),
                       xml(sat("13.0E Hotbird", 192, tp(11000000, 27500000))),
                       xml(sat("13.0E Hotbird", "", tp(11000000, 27500000)))):
            with open(g.xml, "w") as f:
                f.write(broken)
            result = subprocess.run([sys.executable, TOOL, "--xml", g.xml, "--builtin", g.builtin, "--out", g.out],
                                    capture_output=True, text=True)
            self.assertEqual(result.returncode, 1, broken)
            self.assertIn("make_satellite_list: ", result.stderr)
            self.assertEqual(read(g.out), b"[Mine   13.0e]=10723h29900;\r\n\r\n")


class ShippedList(unittest.TestCase):
    """The committed list is what the generator makes from the repository's
    table, and meets the figures it is made for."""

    def test_committed_list_is_regenerated_byte_for_byte_and_meets_its_figures(self):
        out = os.path.join(tempfile.mkdtemp(prefix="satlist-shipped-"), "satellite.ini")
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", os.path.dirname(out)]))
        result = subprocess.run([sys.executable, TOOL, "--out", out, "--report"], capture_output=True, text=True)
        print(result.stdout, end="")
        self.assertEqual(result.returncode, 0, result.stderr)
        committed = read(os.path.join(ROOT, "satlist", "satellite.ini"))
        self.assertEqual(read(out), committed, "satlist/satellite.ini is not the generator's output")

        slots = gen.read_slots(gen.default_xml())
        _, entries, fate = gen.make_list(slots, gen.read_builtin(os.path.join(ROOT, "resources",
                                                                              "satellite_default.ini")))
        f = gen.figures(slots, committed, entries, fate)
        self.assertTrue(gen.MIN_ENTRIES <= f["entries"] <= gen.MAX_ENTRIES, f)
        self.assertEqual(f["present"], f["entries"], "every entry is a transponder of the data at its slot")
        self.assertGreaterEqual(f["covered"], 0.95 * f["carried"])
        self.assertGreaterEqual(f["qpsk"], 0.90 * f["with_qpsk"])
        self.assertIn(b"[Hotbird 13F/13G   13.0e]=", committed)


if __name__ == "__main__":
    unittest.main(verbosity=2)
