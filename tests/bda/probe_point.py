#!/usr/bin/env python3
"""bdaprobe --point under Wine: the magnetic model's 12 published test points
(declination to the printed digits), published look angles, the worked Munich
example line for line, the satellite below the horizon (exit code 1, every
line), the years outside the model, and bad input: exit code 2, the reason on
standard error and nothing at all on standard output.

usage: probe_point.py BUILD_DIR   (WINEPREFIX set; wine on the PATH)
"""
import os
import sys

from probe_support import check, finish, run_probe, start_wine_quietly

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
TEST_VALUES = os.path.join(ROOT, "tests", "data", "magnetic", "WMM2025_TEST_VALUES_REPORT.txt")

MUNICH = (b"site: 48.1374N 11.5755E 0 m\nsatellite: 19.2E\nazimuth: 169.80\nmagnetic azimuth: 165.42\n"
          b"declination: 4.38\nelevation: 34.26\nskew: -6.84 (anticlockwise, seen from behind the dish)\n"
          b"sun at this azimuth: 10:23 UTC\nturn: 8.28 degrees east, 0.48 degrees down\n")


def point(*arguments):
    """bdaprobe's exit code, standard output (text) and standard error."""
    code, out, err = run_probe("--point", *arguments)
    return code, out.decode("ascii", "replace"), err


def lines(text):
    return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


def test_points():
    """Each row of the report: its declination, as the report prints it."""
    rows = [line.split() for line in open(TEST_VALUES) if line.strip() and not line.startswith("#")]
    check(len(rows) == 12, f"the report's 12 test points are there ({len(rows)})")
    for row in rows:
        year, height_km, latitude, longitude, declination = row[0], row[1], row[2], row[3], row[10]
        code, out, err = point(latitude, longitude, "0.0E", "--height", str(round(float(height_km) * 1000)),
                               "--date", year)
        said = lines(out).get("declination")
        check(code in (0, 1) and said == declination,
              f"{latitude} {longitude} {height_km} km {year}: declination {said}, the report {declination} ({err})")


def published_and_worked():
    code, out, _ = point("35N", "100W", "90.0W", "--date", "2026-06-01")
    said = lines(out)
    check(code == 0 and said.get("azimuth", "").startswith("162.9") and round(float(said.get("elevation", 0))) == 48,
          f"Roddy's 35N 100W to 90W: azimuth 162.9, elevation 48 ({said.get('azimuth')}, {said.get('elevation')})")
    code, out, _ = point("48.1374N", "11.5755E", "19.2E", "--date", "2026-12-08", "--found", "13.0E")
    check(code == 0 and out.encode() == MUNICH, f"Munich to 19.2E, found 13.0E: the lines exactly ({out!r})")
    code, out, _ = point("48.1374", "371.5755", "19.2e", "--date", "2026.9343", "--found", "13.0E")
    check(code == 2, "a longitude past 360 is refused")
    code, out, _ = point("48.1374", "11.5755", "19.2e", "--date", "2026.9343", "--found", "13.0E")
    check(code == 0 and out.encode() == MUNICH, "the same place in plain degrees and the day as a decimal year")


def below_and_outside():
    code, out, _ = point("48.1374", "11.5755", "100.0W", "--date", "2031-01-01")
    said = lines(out)
    check(code == 1 and len(out.splitlines()) == 8 and said.get("elevation", "").startswith("-")
          and said["elevation"].endswith(" (below the horizon)"),
          f"100.0W from Munich: exit code 1, every line, the elevation negative and said so ({code}, {out!r})")
    check(said.get("declination") == "unknown (the magnetic model covers 2025 to 2029)"
          and said.get("magnetic azimuth") == said.get("declination"), "2031: the declination is unknown, said why")
    code, out, _ = point("-33.87", "151.21", "166.0E")
    check(code == 0 and len(out.splitlines()) == 8 and "sun at this azimuth" in lines(out),
          f"without --date: today (UTC), every line ({code}, {out!r})")


def bad_input():
    cases = [((), "needs LATITUDE LONGITUDE POSITION"), (("90", "0", "13.0E"), "LATITUDE \"90\""),
             (("48", "11", "13.05E"), "POSITION \"13.05E\""), (("48", "11", "13E", "--height", "-501"), "--height"),
             (("48", "11", "13E", "--date", "2027-02-29"), "--date \"2027-02-29\""),
             (("48", "11", "13E", "--found"), "--found needs a value"), (("48", "11", "13E", "--zoom", "3"), "--zoom")]
    for arguments, named in cases:
        code, out, err = point(*arguments)
        check(code == 2 and out == "" and named in err and "Usage: bdaprobe --point" in err,
              f"{' '.join(arguments) or 'nothing'}: exit code 2, nothing on standard output, says {named} ({code}, {err!r})")


def main():
    start_wine_quietly()
    test_points()
    published_and_worked()
    below_and_outside()
    bad_input()
    return finish("probe_point")


if __name__ == "__main__":
    sys.exit(main())
