#!/usr/bin/env bash
# tavrel-sim's fleet on 2 instances in 2 threads prints the statistics
# --jobs 1 prints in the process's own copy, byte for byte (all but the last
# line, the wall time's). A fleet of 2 shows each feeder's figures (one in
# the median, the other in the 90th percentile); the longer fleets of the
# Linux end-to-end test take minutes under Wine.
# Usage: sim_jobs.sh SIM [EMULATOR...]
set -euo pipefail
if (($# < 1)); then
  echo "usage: $0 SIM [EMULATOR...]" >&2
  exit 2
fi
sim=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The statistics of one run in $work/<fleet>_<jobs>.txt; a word on standard
# error (a refused or shortened --jobs) fails.
statistics() {
  local fleet=$1 jobs=$2 out=$work/$1_$2
  "${emulator[@]}" "$sim" --model all --action all --fleet "$fleet" --jobs "$jobs" \
    >"$out.out" 2>"$out.err" || true
  tr -d '\r' <"$out.out" | sed '$d' >"$out.txt"
  if [[ -s $out.err ]]; then
    echo "FAIL: --fleet $fleet --jobs $jobs said on standard error:" >&2
    cat "$out.err" >&2
    return 1
  fi
}

emulator=("$@")
status=0
statistics 2 1 || status=1
if ! grep -q "not tuned: " "$work/2_1.txt"; then
  echo "FAIL: --jobs 1 printed no statistics" >&2
  cat "$work/2_1.out" >&2
  status=1
fi
statistics 2 2 || status=1
if ! cmp -s "$work/2_1.txt" "$work/2_2.txt"; then
  echo "FAIL: --jobs 2 differs from --jobs 1:" >&2
  diff "$work/2_1.txt" "$work/2_2.txt" >&2 || true
  status=1
fi
((status == 0)) && echo "the statistics are the same for --jobs 1 and 2"
exit $status
