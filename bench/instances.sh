#!/usr/bin/env bash
# Instances side by side in one run. Four simulated feeders (different
# models and actions) tuned (a) one after another in the process's own copy,
# (a') one after another each on a fresh instance, (b) in four processes at
# once, (c) on four instances in four threads: per-feeder outcome, vibrations,
# steps and a hash of every step, and the wall time of each. Then the fleet
# with --jobs 1 and --jobs 2 (statistics compared byte for byte, wall-time
# ratio), and the time and resident memory of one instance. Not a test: it
# reports, it does not judge.
# usage: bench/instances.sh [FLEET] [BUILD]
set -euo pipefail
fleet=${1:-200}
build=${2:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -std=c99 -Wall -Wextra "$here/bench/instance_feeders.c" -I "$here/host" \
    -I "$here/hostkit" -I "$build/include" -L "$build/hostkit" -L "$build" \
    -ltavrel_hostkit -ltavrel -lpthread -Wl,-rpath,"$build/hostkit:$build" -o "$work/feeders"

# Milliseconds of wall time of a command, its output in $work/$1.txt.
timed() {
    local name=$1
    shift
    local start end
    start=$(date +%s%N)
    "$@" >"$work/$name.txt" 2>/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

four_processes() {
    for k in 0 1 2 3; do "$work/feeders" feeder "$k" >"$work/p$k.txt" & done
    wait
    cat "$work"/p[0-3].txt
}

echo "four feeders (wall ms includes starting the program):"
a=$(timed a "$work/feeders" sequential)
f=$(timed f "$work/feeders" fresh)
b=$(timed b four_processes)
c=$(timed c "$work/feeders" threads)
printf "  (a)  one after another, own copy     %6s ms\n" "$a"
printf "  (a') one after another, instances    %6s ms\n" "$f"
printf "  (b)  four processes at once          %6s ms\n" "$b"
printf "  (c)  four instances in four threads  %6s ms\n" "$c"
sed 's/^/  (c) /' "$work/c.txt"
for run in a f b; do
    label=${run/f/a\'}
    if cmp -s "$work/$run.txt" "$work/c.txt"; then
        echo "  ($label) = (c): identical"
    else
        echo "  ($label) differs from (c):"
        diff "$work/$run.txt" "$work/c.txt" | sed 's/^/    /' || true
    fi
done

echo
echo "fleet: --model all --action all --fleet $fleet ($((33 * fleet)) sessions)"
sim=$build/tools/sim/tavrel-sim
for jobs in 1 2; do
    /usr/bin/time -f '%e %U %M' -o "$work/time$jobs.txt" \
        "$sim" --model all --action all --fleet "$fleet" --jobs "$jobs" >"$work/fleet$jobs.txt" || true
    read -r wall user rss < <(tail -n 1 "$work/time$jobs.txt")
    printf "  --jobs %s: wall %6s s, user %6s s, max resident %6s KB\n" "$jobs" "$wall" "$user" "$rss"
    eval "wall$jobs=$wall"
done
# The last line is the run's own wall time.
if cmp -s <(head -n -1 "$work/fleet1.txt") <(head -n -1 "$work/fleet2.txt"); then
    echo "  statistics: identical"
else
    echo "  statistics differ:"
    diff <(head -n -1 "$work/fleet1.txt") <(head -n -1 "$work/fleet2.txt") | head || true
fi
echo "  wall --jobs 1 / --jobs 2: $(echo "scale=2; $wall1 / $wall2" | bc)"
grep -m1 '^not tuned:' "$work/fleet1.txt" | sed 's/^/  /'

echo
echo "one instance:"
"$work/feeders" open 50 | sed 's/^/  /'
