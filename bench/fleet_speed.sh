#!/usr/bin/env bash
# Wall and processor time of the whole simulated fleet (every model and
# action, FEEDERS drawn feeders each), for each tavrel-sim given, side by side
# in one run (e.g. an older build's simulator against this one), with the
# sessions each left untuned. Not a test: it reports, it does not judge.
# usage: bench/fleet_speed.sh [FEEDERS] [TAVREL_SIM...]
set -euo pipefail
fleet=${1:-200}
shift $(($# ? 1 : 0))
sims=("$@")
((${#sims[@]})) || sims=(build/tools/sim/tavrel-sim)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "fleet: --model all --action all --fleet $fleet ($((33 * fleet)) sessions)"
printf "%-50s %10s %10s %s\n" "simulator" "wall s" "user s" "result"
for sim in "${sims[@]}"; do
    # The fleet exits non-zero when some feeder did not tune: that is a result.
    /usr/bin/time -f '%e %U' -o "$work/time.txt" \
        "$sim" --model all --action all --fleet "$fleet" >"$work/fleet.txt" || true
    # time notes a non-zero exit on a line of its own before the figures.
    read -r wall user < <(tail -n 1 "$work/time.txt")
    untuned=$(grep -m1 -oE 'not tuned: [0-9]+ of [0-9]+' \
        "$work/fleet.txt" || echo "see output")
    printf "%-50s %10s %10s %s\n" "$sim" "$wall" "$user" "$untuned"
done
