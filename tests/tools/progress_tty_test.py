"""tavrel-sim shows progress on standard error when it is a terminal, and
nothing of it otherwise. Arguments after the program are passed on to it."""

import os
import pty
import subprocess
import sys

sim = sys.argv[1]
args = [sim, "--model", "0", "--action", "0", "--fleet", "50", *sys.argv[2:]]

controller, terminal = pty.openpty()
run = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=terminal, check=True)
os.close(terminal)
shown = b""
while True:
    try:
        chunk = os.read(controller, 4096)
    except OSError:  # the terminal's other end is closed
        break
    if not chunk:
        break
    shown += chunk
assert b"model 0 action 0: 0/50 sessions" in shown, shown
assert shown.endswith(b"\r"), "the line is not erased at the end: %r" % shown[-40:]

piped = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=True)
assert piped.stderr == b"", piped.stderr
print("ok: %d bytes of progress on a terminal, none on a pipe" % len(shown))
