#!/usr/bin/env bash
# Checks that the library's includes point down the layers only, as the
# compiler sees them (every header and source through -MM, so includes reached
# indirectly count too), and prints the subsystem graph it found.
#
#   base  <-  feeder, vision  <-  logic  <-  host
#
# Usage: tools/check-layers.sh [compiler]   (default: c++). Exits 1 on an
# include that points up or sideways.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx="${1:-c++}"

# What each subsystem may include besides itself.
declare -A allowed=(
    [base]=""
    [feeder]="base"
    [vision]="base"
    [logic]="base feeder vision"
    [host]="base feeder vision logic"
)
layers=(base feeder vision logic host)

declare -A edges=()
bad=0
for dir in "${layers[@]}"; do
    for file in "$dir"/*.h "$dir"/*.cpp; do
        [[ -e $file ]] || continue
        # One dependency per line; keep our own headers only.
        deps=$("$cxx" -std=c++17 -x c++ -I . -MM "$file" | tr -d '\\' | tr ' ' '\n' |
            grep -E '^(base|feeder|vision|logic|host)/' || true)
        for dep in $deps; do
            to=${dep%%/*}
            # The public header is installed alone: it includes nothing of ours.
            if [[ $file == host/tavrel.h && $dep != "$file" ]]; then
                echo "layers: $file includes $dep (it must stand alone)" >&2
                bad=1
            fi
            [[ $to == "$dir" ]] && continue
            edges["$dir -> $to"]=1
            if [[ " ${allowed[$dir]} " != *" $to "* ]]; then
                echo "layers: $file includes $dep ($dir may include: ${allowed[$dir]:-nothing of ours})" >&2
                bad=1
            fi
        done
    done
done

echo "subsystem include graph:"
printf '  %s\n' "${!edges[@]}" | sort
exit "$bad"
