#!/usr/bin/env python3
"""Packs a folder into a zip with its files at the top level, in a fixed order
and with fixed times, so the same files always give the same archive.

usage: make_zip.py FOLDER ZIP
"""
import os
import sys
import zipfile

folder, target = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for base, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(base, name)
            entry = zipfile.ZipInfo(os.path.relpath(path, folder).replace(os.sep, "/"), (2026, 1, 1, 0, 0, 0))
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o644 << 16
            with open(path, "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
