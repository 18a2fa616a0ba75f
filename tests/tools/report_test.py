"""tavrel-sim --report writes a PNG; exits 77 (skipped) without matplotlib."""

import os
import subprocess
import sys

try:
    import matplotlib  # noqa: F401
except ImportError:
    print("matplotlib is not installed: skipped")
    sys.exit(77)

sim, png = sys.argv[1], sys.argv[2]
if os.path.exists(png):
    os.remove(png)
subprocess.run([sim, "--model", "1", "--action", "3", "--report", png], check=True,
               stdout=subprocess.DEVNULL)
with open(png, "rb") as stream:
    data = stream.read()
assert data.startswith(b"\x89PNG\r\n\x1a\n"), "not a PNG"
assert len(data) > 10000, "suspiciously small picture: %d bytes" % len(data)
print("ok: %d bytes" % len(data))
