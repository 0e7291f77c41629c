#!/usr/bin/env python3
"""Prints which product folder imports which (an #include "folder/..." from a
file of another folder is an arrow), the pairs of folders that import each
other, and the arrows that run back up against the layer order below.

Usage: folder_imports.py [--root DIR] [--max-back-up N] [--no-pair-through FOLDER]...
Exits 1 when more than N arrows run back up, or when a folder given with
--no-pair-through imports a folder that imports it; 2 when a product folder
has no place in the layer order (a new folder must be given one).

The layer order, top first. A folder may import the folders below its own
layer; an arrow to its own layer or one above runs back up.
  1. app, bdatuner, simtuner, tools: the programs' own code (start-up, the
     bridge and bdaprobe, the demo tuner, the build tools), which nothing
     else should need.
  2. phone, listrenew: the DLLs the program loads for a feature (the phone
     display, over what the program publishes; the list made from a
     satellites.xml).
  3. skin: painting and input, over the state and the readings.
  4. measure: the measuring threads, over the tuner and the identity record.
  5. tuner: the tuner's interfaces and the tuning sequence.
  6. transponder: the list file and the typed entry.
  7. pointing: where to point the dish from its place (look angles, skew,
     the magnetic model, the sun), over the positions the identity writes.
  8. identity, listmaker: what the broadcast says, read from its tables, and
     its record; the satellite list made from a satellites.xml.
  9. common: byte-level primitives any folder may use (words published whole,
     UTF-8, orbital positions as text).
app/ also holds the state record every layer reads (app_state.h): the arrows
to it run back up, and are counted as such.
"""
import argparse
import os
import re
import sys

LAYERS = [
    ["app", "bdatuner", "simtuner", "tools"],
    ["phone", "listrenew"],
    ["skin"],
    ["measure"],
    ["tuner"],
    ["transponder"],
    ["pointing"],
    ["identity", "listmaker"],
    ["common"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
# Folders of the repository that are no product code.
NOT_PRODUCT = {"build", "cmake", "installer", "manual", "resources", "satlist", "scripts", "tests", "dist"}
SOURCE_ENDINGS = (".c", ".cc", ".cpp", ".h", ".hpp", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/', re.MULTILINE)


def product_folders(root):
    """The top folders holding C or C++ sources, but those that are no product code."""
    found = []
    for name in sorted(os.listdir(root)):
        path = os.path.join(root, name)
        if name.startswith(".") or name in NOT_PRODUCT or not os.path.isdir(path):
            continue
        if any(f.endswith(SOURCE_ENDINGS) for _, _, files in os.walk(path) for f in files):
            found.append(name)
    return found


def arrows(root, folders):
    """{folder: set of other product folders its files include}."""
    graph = {folder: set() for folder in folders}
    for folder in folders:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if not name.endswith(SOURCE_ENDINGS):
                    continue
                with open(os.path.join(directory, name), encoding="utf-8", errors="replace") as f:
                    for target in INCLUDE.findall(f.read()):
                        if target != folder and target in graph:
                            graph[folder].add(target)
    return graph


def mutual_pairs(graph):
    return sorted((a, b) for a in graph for b in graph[a] if a < b and a in graph[b])


def back_up(graph):
    return sorted((a, b) for a in graph for b in graph[a] if RANK[b] <= RANK[a])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--max-back-up", type=int)
    parser.add_argument("--no-pair-through", action="append", default=[])
    options = parser.parse_args()
    folders = product_folders(options.root)
    unplaced = [f for f in folders if f not in RANK]
    if unplaced:
        print("no place in the layer order: " + ", ".join(unplaced) + " (scripts/folder_imports.py)")
        return 2
    graph = arrows(options.root, folders)
    for folder in sorted(folders, key=lambda f: (RANK[f], f)):
        print(f"{folder} -> {', '.join(sorted(graph[folder], key=lambda f: (RANK[f], f))) or '(nothing)'}")
    pairs, up = mutual_pairs(graph), back_up(graph)
    print(f"{len(folders)} folders, {sum(len(t) for t in graph.values())} arrows")
    print(f"{len(pairs)} pairs import each other: " + (", ".join(f"{a}<->{b}" for a, b in pairs) or "none"))
    print(f"{len(up)} arrows run back up: " + (", ".join(f"{a}->{b}" for a, b in up) or "none"))
    failed = False
    for folder in options.no_pair_through:
        through = [(a, b) for a, b in pairs if folder in (a, b)]
        if through:
            print(f"FAIL: folders import each other through {folder}/: " + ", ".join(f"{a}<->{b}" for a, b in through))
            failed = True
    if options.max_back_up is not None and len(up) > options.max_back_up:
        print(f"FAIL: {len(up)} arrows run back up, more than {options.max_back_up}")
        failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
