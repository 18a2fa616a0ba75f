#!/usr/bin/env bash
# The simulated fleet through rendered frames against the same fleet on the
# simulator's coordinates, side by side in one run: per model and action the
# share tuned and the median and 90th percentile of vibrations to success,
# then the sessions left untuned and the wall time of each. Not a test: it
# reports, it does not judge. Extra arguments go to the frames run (e.g.
# --frame-size 320x240).
# usage: bench/sim_camera.sh [FEEDERS] [TAVREL_SIM] [FRAME OPTION...]
set -euo pipefail
fleet=${1:-50}
sim=${2:-build/tools/sim/tavrel-sim}
shift $(($# > 2 ? 2 : $#))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() { # NAME ARGS...: the fleet's table in $work/NAME.txt, its wall time in $work/NAME.time
    local name=$1
    shift
    # The fleet exits non-zero when some feeder did not tune: that is a result.
    /usr/bin/time -f '%e' -o "$work/$name.time" \
        "$sim" --model all --action all --fleet "$fleet" "$@" >"$work/$name.txt" || true
}
run coordinates --camera coordinates
run frames --camera frames "$@"

echo "fleet: --model all --action all --fleet $fleet; frames: --camera frames $*"
printf "%5s %6s | %-26s | %-26s\n" "" "" "coordinates" "frames"
printf "%5s %6s | %7s %8s %8s | %7s %8s %8s\n" model action tuned median p90 tuned median p90
# The fleet's rows: model action feeders tuned% median p90 ...
join -j1 \
    <(awk '$1 ~ /^[0-9]+$/ && $4 ~ /%$/ {print $1 ":" $2, $4, $5, $6}' "$work/coordinates.txt" | sort) \
    <(awk '$1 ~ /^[0-9]+$/ && $4 ~ /%$/ {print $1 ":" $2, $4, $5, $6}' "$work/frames.txt" | sort) |
    sort -t: -k1,1n -k2,2n | tr ":" " "  |
    awk '{printf "%5s %6s | %7s %8s %8s | %7s %8s %8s\n", $1, $2, $3, $4, $5, $6, $7, $8}'
for name in coordinates frames; do
    printf "%-12s %s; wall %s s\n" "$name:" \
        "$(grep -m1 "^not tuned:" "$work/$name.txt" | sed "s/;$//")" "$(tail -n 1 "$work/$name.time")"
done
