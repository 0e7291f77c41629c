#!/usr/bin/env python3
"""The sounds are made the same from the same sources: scripts/make_sounds.py
run twice gives the same bytes (sox's dither is seeded)."""
import filecmp
import os
import subprocess
import sys
import tempfile

MAKE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "make_sounds.py")

with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
    for folder in (first, second):
        subprocess.run([sys.executable, MAKE, folder], check=True, stdout=subprocess.DEVNULL)
    names = sorted(os.listdir(first))
    _, differ, missing = filecmp.cmpfiles(first, second, names, shallow=False)
    print(f"{len(names)} sounds made twice; differing: {differ or 'none'}; missing: {missing or 'none'}")
    sys.exit(0 if len(names) == 21 and not differ and not missing else 1)
