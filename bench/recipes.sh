#!/usr/bin/env bash
# The recipe store's goals on the simulated fleet, every way in one run, each
# on a fresh store: the first tuning of each feeder and its re-tune from the
# recipe, with the factory window and with self-commissioning, on the default
# ranges and on ranges twice as wide (--range-scale 2), then with drift on
# (the re-tune under a load, --drift) against a cold tuning of the same
# loaded feeders, and the commissioned ones again with the store's verdict
# (--fleet-verdict). Prints the tables, then one summary per goal.
# usage: bench/recipes.sh [TAVREL_SIM] [FEEDERS] [DRIFT_LOAD]
set -euo pipefail
sim=${1:-build/tools/sim/tavrel-sim}
fleet=${2:-100}
load=${3:-0.3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {
    local name=$1
    shift
    "$sim" --model all --action all --fleet "$fleet" --recipes "$work/$name.db" "$@" \
        >"$work/$name.txt" || true
    echo "=== $name: $*"
    cat "$work/$name.txt"
}
run factory
run commission --commission
run factory-wide --range-scale 2
run commission-wide --range-scale 2 --commission
run commission-verdict --commission --fleet-verdict
run commission-wide-verdict --range-scale 2 --commission --fleet-verdict
run drift --drift "$load"
run drift-commission --drift "$load" --commission
run cold-loaded --load "$load"

# Rows: model action feeders | first: tuned% median p90 f.med f.p90 |
# re-tune: tuned% median p90 f.med f.p90 | drifted warm-ok succ+1
rows() { awk '$1 ~ /^[0-9]+$/ && $2 ~ /^[0-9]+$/' "$work/$1.txt"; }

echo
echo "=== 1. re-tune of an unchanged feeder (drift off): median vibrations against success count + 1"
for name in factory commission; do
    rows "$name" | awk -v name="$name" '{n++; if ($10 == $16) met++; d += $14;
        printf "%s/%s median %s (p90 %s) fewest %s%s\n", $1, $2, $10, $11, $16,
               ($10 == $16 ? "" : "  not met")}
        END {printf "%s: median at the fewest in %d of %d actions; %d recipes marked drifted\n",
             name, met, n, d}'
done

echo
echo "=== 2. commissioning on new feeders: first tuning, probes included"
for pair in "factory commission" "factory-wide commission-wide" \
    "commission commission-verdict" "commission-wide commission-wide-verdict"; do
    read -r plain probed <<<"$pair"
    join <(rows "$plain" | awk '{print $1"/"$2, $4, $5, $6}' | sort) \
         <(rows "$probed" | awk '{print $1"/"$2, $4, $5, $6}' | sort) |
        awk -v a="$plain" -v b="$probed" '{sub("%","",$2); sub("%","",$5);
            ta += $2; tb += $5; ma += $3; mb += $6; pa += $4; pb += $7; n++;
            if ($5 + 0 < 100) low = low " " $1 "(" $5 "%)"}
            END {printf "%s: tuned %.1f%%, mean of medians %.1f, mean of p90 %.1f\n", a, ta/n, ma/n, pa/n;
                 printf "%s: tuned %.1f%%, mean of medians %.1f, mean of p90 %.1f; below 100%%:%s\n",
                        b, tb/n, mb/n, pb/n, (low == "" ? " none" : low)}'
done

echo
echo "=== 3. feeders that did not tune: vibrations to the verdict against 2 x p90 of the tuned"
for name in factory commission factory-wide commission-wide commission-verdict \
    commission-wide-verdict; do
    rows "$name" | awk -v name="$name" '$4 != "100.0%" {n++; if ($8 <= 2 * $6) met++;
        printf "%s %s/%s: not tuned p90 %s, tuned p90 %s%s\n", name, $1, $2, $8, $6,
               ($8 <= 2 * $6 ? "" : "  over")}
        END {printf "%s: %d of %d actions with failures decide within 2 x p90\n", name, met, n}'
done

echo
echo "=== 4. drift on (load $load): re-tune from the recipe (fall-back included) against a cold tuning"
join <(rows drift | awk '{print $1"/"$2, $9, $10, $11, $14}' | sort) \
     <(rows cold-loaded | awk '{print $1"/"$2, $4, $5, $6}' | sort) |
    awk '{printf "%s re-tune %s median %s p90 %s (drifted %s) | cold %s median %s p90 %s\n",
                 $1, $2, $3, $4, $5, $6, $7, $8; ma += $3; mb += $7; pa += $4; pb += $8; n++}
         END {printf "mean of medians: re-tune %.1f, cold %.1f; mean of p90: re-tune %.1f, cold %.1f\n",
                     ma/n, mb/n, pa/n, pb/n}'
