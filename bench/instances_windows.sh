#!/usr/bin/env bash
# Instances on Windows, under Wine (so Wine's loader and file system, not
# Windows'): four simulated feeders tuned one after another in the process's
# own copy, one after another each on a fresh instance, and on four
# instances in four threads (per-feeder outcome, vibrations, steps and a hash
# of every step, and the wall time of each); then the time to open one
# instance, its working set and the disk its private copies take. Not a
# test: it reports, it does not judge.
# usage: bench/instances_windows.sh [BUILD]   (BUILD: the windows preset's, build-win)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build-win}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-gcc-posix -O2 -std=c99 -Wall -Wextra "$here/bench/instance_feeders.c" \
    -I "$here/host" -I "$here/hostkit" -I "$build/include" -L "$build" -L "$build/hostkit" \
    -l:tavrel_hostkit.lib -l:tavrel.lib -static -o "$work/feeders.exe"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
run() {
    env WINEDEBUG=-all WINEPREFIX="$build/wine-prefix" WINEPATH="Z:$build" \
        WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY= "$wine" "$work/feeders.exe" "$@" 2>&1 | tr -d '\r' |
        grep -E '^(feeder|first open|resident|[0-9.]+ ms$|instance_feeders)' || true
}
for mode in sequential fresh threads; do
    echo "== $mode"
    run "$mode"
done
echo "== one instance"
run open 20
kit=$(stat -c %s "$build/tavrel_hostkit.dll")
lib=$(stat -c %s "$build/tavrel.dll")
echo "disk per instance: $(((kit + lib) / 1024)) KB (tavrel_hostkit.dll $((kit / 1024)) KB +" \
    "tavrel.dll $((lib / 1024)) KB, copied)"
