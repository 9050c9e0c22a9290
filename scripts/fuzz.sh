#!/usr/bin/env bash
# The fuzz step: builds the libFuzzer targets (preset fuzz: clang, ASan + UBSan), replays
# every seed corpus in fuzz/corpus/, then fuzzes each target for a bounded time, two at a
# time. A target is every folder of fuzz/corpus/ (its dictionary fuzz/dict/<target>.dict
# is used when present).
#   scripts/fuzz.sh                   every target for FUZZ_SECONDS (default 25) seconds
#   scripts/fuzz.sh 3600 state_file   one target for an hour
# What the fuzzer learns stays in build/fuzz/corpus/<target>/, so a later run goes on from
# there; a crashing or hanging input is saved in build/fuzz/artifacts/ and its report
# printed. Replay one with build/fuzz/fuzz/fuzz_<target> <input>.
set -uo pipefail
script=fuzz
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh

seconds=${1:-${FUZZ_SECONDS:-25}}
shift || true
jobs=${FUZZ_JOBS:-$(nproc)}
build=build/fuzz
if [ $# -ne 0 ]; then
    targets=("$@")
else
    targets=()
    for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

quiet_step "configuring the fuzz build" cmake --preset fuzz -DBOXTOOLS_WERROR=ON || finish "configuring the fuzz build"
cmake --build --preset fuzz -j "$jobs" || finish "building the fuzz targets"

mkdir -p "$build/logs" "$build/artifacts"
# A finding stops the target at once; reports carry file and line.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
symbolizer=$(command -v llvm-symbolizer-14 || command -v llvm-symbolizer || true)
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH=$symbolizer

# Replays the seeds, then fuzzes; the log holds both. Writes the run count to <log>.runs.
fuzz_target() {  # target
    local target=$1 program=$build/fuzz/fuzz_$1 log=$build/logs/$1.log
    local seeds=fuzz/corpus/$1 learned=$build/corpus/$1 dict=()
    [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="fuzz/dict/$target.dict")
    mkdir -p "$learned"
    rm -f "$log.runs"
    if [ ! -x "$program" ]; then
        echo "no program $program: add the target to fuzz/CMakeLists.txt" >"$log"
        return 1
    fi
    {
        echo "== replaying $seeds"
        "$program" -runs=0 "$seeds" &&
            echo "== fuzzing for $seconds s" &&
            "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
                "${dict[@]}" -artifact_prefix="$build/artifacts/$target-" "$learned" "$seeds"
    } >"$log" 2>&1
    local rc=$?
    sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 >"$log.runs"
    return $rc
}

declare -A pids
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
    fuzz_target "$target" &
    pids[$target]=$!
done

failed=()
printf '%-20s %12s %8s\n' target runs corpus
for target in "${targets[@]}"; do
    log=$build/logs/$target.log
    if wait "${pids[$target]}"; then status=""; else status="FAILED"; failed+=("fuzzing $target"); fi
    runs=$(cat "$log.runs" 2>/dev/null)
    inputs=$(find "$build/corpus/$target" fuzz/corpus/"$target" -type f 2>/dev/null | wc -l)
    printf '%-20s %12s %8s %s\n' "$target" "${runs:-?}" "$inputs" "$status"
    if [ -n "$status" ]; then
        echo "fuzz: $target failed; the end of $log:" >&2
        tail -n 80 "$log" | sed 's/^/    /' >&2
    fi
done
finish "${failed[@]}"
