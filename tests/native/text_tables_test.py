#!/usr/bin/env python3
"""identity/dvb_text_tables.inc is exactly what scripts/make_text_tables.py writes."""
import os
import subprocess
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
written = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make_text_tables.py")],
                         check=True, capture_output=True).stdout
with open(os.path.join(ROOT, "identity", "dvb_text_tables.inc"), "rb") as f:
    committed = f.read()
if written != committed:
    print("identity/dvb_text_tables.inc differs from what scripts/make_text_tables.py writes: "
          "run it again (make_text_tables.py > identity/dvb_text_tables.inc) or mend the script")
    sys.exit(1)
print(f"identity/dvb_text_tables.inc: {len(committed)} bytes, as the script writes them")
