#!/usr/bin/env bash
# Peak memory of tavrel-replay on a large trace: SIZE_MB of recorder rows (a
# part the camera sees at rest, a step every 100 ms), replayed by each program
# given, side by side (e.g. an older build's replay against this one). A
# replay that streams its rows stays flat however long the trace; one that
# holds them grows with it. Not a test: it reports, it does not judge.
# usage: bench/replay_memory.sh [SIZE_MB] [TAVREL_REPLAY...]
set -euo pipefail
size_mb=${1:-200}
shift $(($# ? 1 : 0))
replays=("$@")
((${#replays[@]})) || replays=(build/tools/replay/tavrel-replay)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk -v limit=$((size_mb * 1024 * 1024)) 'BEGIN {
  header = "step,time_s,model,action,x,y,valid,dx,dy,area,status,task,command,reset,act"
  for (m = 0; m < 4; ++m) header = header ",m" m "_amp,m" m "_fre,m" m "_pha,m" m "_mode"
  print header ",run_ms"; bytes = length(header) + 8
  for (step = 0; bytes < limit; ++step) {
    line = sprintf("%d,%.1f,0,8,95.5,77.25,1,0,0,8,,4,,0,,,,,,,,,,,,,,,,,,", step, step / 10)
    print line; bytes += length(line) + 1
  }
}' >"$work/big.csv"
echo "trace: $(du -m "$work/big.csv" | cut -f1) MB, $(($(wc -l <"$work/big.csv") - 1)) rows"
printf '%-60s %14s %10s\n' "replay" "peak RSS (MB)" "seconds"
for replay in "${replays[@]}"; do
  /usr/bin/time -f '%M %e' -o "$work/time.txt" "$replay" "$work/big.csv" "$work/out.csv" || true
  read -r kb seconds <"$work/time.txt"
  printf '%-60s %14d %10s\n' "$replay" $((kb / 1024)) "$seconds"
  rm -f "$work/out.csv"
done
