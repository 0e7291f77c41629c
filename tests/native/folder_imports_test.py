#!/usr/bin/env python3
"""The folder import checker reads arrows, pairs and back-up arrows right, and fails when told to."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "folder_imports.py")


def tree(files):
    root = tempfile.mkdtemp()
    for path, text in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(root, path), "w") as f:
            f.write(text)
    return root


def run(root, *options):
    done = subprocess.run([sys.executable, SCRIPT, "--root", root, *options], capture_output=True, text=True)
    return done.returncode, done.stdout


class FolderImports(unittest.TestCase):
    def test_arrows_pairs_and_back_up(self):
        root = tree({"app/a.cpp": '#include "identity/r.h"\n#include "app/b.h"\n#include <windows.h>\n',
                     "identity/r.h": '#  include "app/a.h"\n// #include "skin/no.h" is a comment, no arrow\n',
                     "skin/s.cpp": '#include "skin/t.h"\n',
                     "tests/x.cpp": '#include "skin/s.h"\n',
                     "manual/notes.txt": '#include "app/a.h"\n'})
        code, out = run(root)
        self.assertEqual(code, 0, out)
        self.assertIn("app -> identity\n", out)
        self.assertIn("skin -> (nothing)\n", out)
        self.assertIn("3 folders, 2 arrows", out)
        self.assertIn("1 pairs import each other: app<->identity", out)
        self.assertIn("1 arrows run back up: identity->app", out)
        code, out = run(root, "--no-pair-through", "identity")
        self.assertEqual(code, 1)
        self.assertIn("FAIL: folders import each other through identity/: app<->identity", out)
        self.assertEqual(run(root, "--max-back-up", "1")[0], 0)
        self.assertEqual(run(root, "--max-back-up", "0")[0], 1)

    def test_a_new_folder_needs_a_layer(self):
        code, out = run(tree({"newroom/p.cpp": "int x;\n"}))
        self.assertEqual(code, 2)
        self.assertIn("no place in the layer order: newroom", out)


if __name__ == "__main__":
    unittest.main()
