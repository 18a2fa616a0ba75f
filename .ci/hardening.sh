#!/usr/bin/env bash
# Hardening checks, run by .ci/run after the normal build and tests (which also
# run the no-allocation test):
#   1. the whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   2. the API fuzz target for FUZZ_SECONDS (default 60) from the seed corpus
#   3. valgrind memcheck over the simulator's default run and over the fuzz
#      corpus of step 2 replayed (needs build/ from `make test`, or TAVREL_SIM
#      and TAVREL_FUZZ_REPLAY naming builds without sanitizers)
#   4. cppcheck and clang-tidy over the library sources, then over the host
#      kit's and the tools' sources
# Any finding fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test hardening

JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
FUZZ_SECONDS="${FUZZ_SECONDS:-60}"
LIB_DIRS=(base host feeder vision logic)
KIT_DIRS=(hostkit recipes frames tools)
started=$SECONDS

step() {
    echo
    echo "=== $* ($((SECONDS - started)) s)"
}

# Runs a command with its output in a log; shows the tail of the log if it fails.
quietly() {
    local log=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "failed: $* (full log: $log)" >&2
        return 1
    fi
}

mkdir -p build-asan build-fuzz

step "sanitizers: build-asan"
quietly build-asan/configure.log cmake --preset asan
quietly build-asan/build.log cmake --build --preset asan -j "$JOBS"
# The test preset leaves out the tests labelled install: they build
# uninstrumented hosts against installed libraries, which the sanitizer
# runtime refuses to load; they check packaging, not memory.
quietly build-asan/ctest.log ctest --preset asan -j "$JOBS"
grep -E 'tests passed' build-asan/ctest.log

step "fuzzing: build-fuzz, ${FUZZ_SECONDS} s"
quietly build-fuzz/configure.log cmake --preset fuzz
quietly build-fuzz/build.log cmake --build --preset fuzz -j "$JOBS"
# The run grows a copy of the corpus; the checked-in seeds stay as they are.
rm -rf build-fuzz/corpus-run build-fuzz/artifacts
mkdir -p build-fuzz/corpus-run build-fuzz/artifacts
cp fuzz/corpus/* build-fuzz/corpus-run/
fuzz_log=build-fuzz/fuzz.log
if ! build-fuzz/fuzz/tavrel_fuzz_api -max_total_time="$FUZZ_SECONDS" -timeout=10 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
    build-fuzz/corpus-run >"$fuzz_log" 2>&1; then
    tail -n 60 "$fuzz_log" >&2
    echo "the fuzzer found a problem; reproducer in build-fuzz/artifacts/:" >&2
    ls build-fuzz/artifacts >&2
    exit 1
fi
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$fuzz_log"

step "valgrind: simulator default run"
sim="${TAVREL_SIM:-build/tools/sim/tavrel-sim}"
if [[ -x $sim ]]; then
    valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect -q \
        "$sim" --model 0 --action all >/dev/null
    echo "memcheck clean"
elif [[ -f tools/sim/CMakeLists.txt ]]; then
    echo "$sim is missing: run make test first" >&2
    exit 1
else
    echo "skipped: there is no simulator in this tree"
fi

# Reads of uninitialised memory are invisible to the sanitizers of step 2.
step "valgrind: fuzz corpus replayed"
replay="${TAVREL_FUZZ_REPLAY:-build/tests/fuzz/tavrel_fuzz_replay}"
if [[ ! -x $replay ]]; then
    echo "$replay is missing: run make test first" >&2
    exit 1
fi
quietly build-fuzz/valgrind-replay.log valgrind --error-exitcode=1 -q "$replay" build-fuzz/corpus-run
tail -n 1 build-fuzz/valgrind-replay.log

cppcheck_sources() {
    cppcheck --enable=warning,style,performance,portability --std=c++17 --language=c++ \
        --inline-suppr --suppressions-list=.cppcheck-suppressions --error-exitcode=1 -q "$@"
}

step "cppcheck: ${LIB_DIRS[*]}"
mapfile -t lib_sources < <(find "${LIB_DIRS[@]}" -name '*.cpp' | sort)
cppcheck_sources -I . "${lib_sources[@]}"
echo "cppcheck clean"

step "clang-tidy: ${LIB_DIRS[*]}"
quietly build-asan/clang-tidy.log clang-tidy -p build-asan --quiet "${lib_sources[@]}"
echo "clang-tidy clean"

# The kit and the tools include the library's C interface (host/), the kit's
# headers (hostkit/) and the generated tavrel_version.h of the build.
step "cppcheck: ${KIT_DIRS[*]}"
mapfile -t kit_sources < <(find "${KIT_DIRS[@]}" -name '*.cpp' | sort)
cppcheck_sources -I . -I host -I hostkit -I recipes -I frames -I build-asan/include "${kit_sources[@]}"
echo "cppcheck clean"

step "clang-tidy: ${KIT_DIRS[*]}"
quietly build-asan/clang-tidy-kit.log clang-tidy -p build-asan --quiet "${kit_sources[@]}"
echo "clang-tidy clean"

step "hardening checks passed"
