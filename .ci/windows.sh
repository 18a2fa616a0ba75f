#!/usr/bin/env bash
# The Windows build: tavrel.dll cross-built with MinGW-w64 into build-win/, its
# export table and imports checked, and the unit tests, a plain-C host and the
# simulator run under Wine. Exits non-zero when any of it fails.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test windows

BUILD=build-win
JOBS=$(nproc 2>/dev/null || echo 2)

cmake --preset windows
# The build also creates the Wine prefix, the slow part of Wine's first start.
cmake --build --preset windows -j "$JOBS"

# Every check must be there: a missing one would pass unnoticed.
tests=$(ctest --test-dir "$BUILD" -N | sed -n 's/^ *Test *#[0-9]*: //p')
for name in windows.dll_exports windows.dll_dependencies windows.clock_ns c_host \
  'windows\.sim_model[0-9]+_action[0-9]+' windows.sim_jobs_same_statistics 'instance\..+'; do
  if ! grep -Eqx "$name" <<<"$tests"; then
    echo "windows: no test matching '$name' in $BUILD" >&2
    exit 1
  fi
done
# The unit tests, listed by GoogleTest as Suite.Name.
# (grep -c reads all its input: an early exit of grep -q would fail the pipe.)
unit=$(grep -v '^windows\.' <<<"$tests" | grep -Ecx '[A-Z][A-Za-z0-9_]*\.[A-Za-z0-9_/]+' || true)
if ((unit == 0)); then
  echo "windows: no unit tests found in $BUILD" >&2
  exit 1
fi

# Wine itself now and then drops a client under load ("recvmsg: Connection
# reset by peer") or leaves one hanging; the tests are deterministic, so a
# test that fails or hangs is run once more, and fails the run if it fails again.
ctest --preset windows -j "$JOBS" --timeout 300 --repeat until-pass:2
