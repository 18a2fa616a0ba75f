#!/usr/bin/env bash
# The early verdict's effect on a simulated fleet, both ways in one run: the
# same feeders tuned with the whole step budget (--verdict 0) and with the
# default verdict, the tables side by side, then the rows whose success rate
# differs (there must be none).
# usage: bench/fleet_verdict.sh [TAVREL_SIM] [FEEDERS]
set -euo pipefail
sim=${1:-build/tools/sim/tavrel-sim}
fleet=${2:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$sim" --model all --action all --fleet "$fleet" --verdict 0 >"$work/before.txt" || true
"$sim" --model all --action all --fleet "$fleet" >"$work/after.txt" || true
echo "=== --verdict 0 (whole budget) | default (early verdict)"
paste -d'|' "$work/before.txt" "$work/after.txt"
echo "=== success rate per model and action that differs:"
rates() { awk '$1 ~ /^[0-9]+$/ && $3 ~ /^[0-9]+$/ {print $1"/"$2, $4}' "$1" | sort; }
join <(rates "$work/before.txt") <(rates "$work/after.txt") |
  awk '$2 != $3 {print; bad=1} END {if (!bad) print "none"}'
