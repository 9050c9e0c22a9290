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
# An input that runs past FUZZ_TIMEOUT seconds (default 10) fails the step only when,
# replayed alone, it runs past them again; one that then finishes in time met a busy
# machine: its replay time is printed, and fuzzing goes on for the time left.
set -uo pipefail
script=fuzz
# libFuzzer's output is read, and the targets come from a glob: the C locale's.
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh

seconds=${1:-${FUZZ_SECONDS:-25}}
timeout=${FUZZ_TIMEOUT:-10}
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

# libfuzzer LOG ARGUMENTS...: one run of the program ($program), its output added to LOG.
# Status 0 when it ended well, 2 when it stopped at a timeout that its input, replayed
# alone, doesn't repeat (noted in LOG.notes), 1 for any fault.
libfuzzer() {
    local log=$1 run=$1.run rc
    shift
    "$program" "$@" >"$run" 2>&1
    rc=$?
    cat "$run" >>"$log"
    if [ $rc -eq 0 ] || ! grep -q 'ERROR: libFuzzer: timeout' "$run"; then
        rm -f "$run"
        [ $rc -eq 0 ]
        return
    fi
    local input
    input=$(sed -n 's/.*Test unit written to //p' "$run" | tail -n 1)
    rm -f "$run"
    [ -f "$input" ] || { echo "== the timeout's input was not saved" >>"$log"; return 1; }
    echo "== replaying $input alone" >>"$log"
    local started ms took
    started=$(date +%s%N)
    "$program" -timeout="$timeout" "$input" >>"$log" 2>&1
    rc=$?
    ms=$((($(date +%s%N) - started) / 1000000))
    took="$((ms / 1000)).$(printf %03d $((ms % 1000))) s"
    # libFuzzer looks at the clock only every limit/2 + 1 s: a finished replay may still
    # have run past the limit.
    if [ $rc -ne 0 ] || [ $ms -ge $((timeout * 1000)) ]; then
        echo "== replayed alone, it took $took (limit $timeout s), status $rc: slow on its own" >>"$log"
        return 1
    fi
    echo "== $input timed out, but replayed alone it took $took (limit $timeout s): going on" >>"$log"
    echo "$input timed out on the busy machine; replayed alone: $took" >>"$log.notes"
    return 2
}

# Replays the seeds, then fuzzes; the log holds both. Writes the run count to <log>.runs.
fuzz_target() {  # target
    local target=$1 program=$build/fuzz/fuzz_$1 log=$build/logs/$1.log
    local seeds=fuzz/corpus/$1 learned=$build/corpus/$1 dict=()
    [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="fuzz/dict/$target.dict")
    mkdir -p "$learned"
    rm -f "$log.runs" "$log.notes"
    if [ ! -x "$program" ]; then
        echo "no program $program: add the target to fuzz/CMakeLists.txt" >"$log"
        return 1
    fi
    local limits=(-timeout="$timeout" -artifact_prefix="$build/artifacts/$target-")
    echo "== replaying $seeds" >"$log"
    libfuzzer "$log" -runs=0 "${limits[@]}" "$seeds"
    local rc=$?
    # After a timeout of the busy machine, the fuzzing replays the seeds again.
    [ $rc -eq 1 ] && return 1
    local deadline=$((SECONDS + seconds)) left
    while left=$((deadline - SECONDS)); [ "$left" -gt 0 ]; do
        echo "== fuzzing for $left s" >>"$log"
        libfuzzer "$log" -max_total_time="$left" "${limits[@]}" -rss_limit_mb=2048 -print_final_stats=1 \
            "${dict[@]}" "$learned" "$seeds"
        rc=$?
        [ $rc -eq 2 ] || break
    done
    awk '/^stat::number_of_executed_units:/ { runs += $2 } END { print runs }' "$log" >"$log.runs"
    [ $rc -ne 1 ]
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
    [ -f "$log.notes" ] && sed 's/^/    /' "$log.notes"
    if [ -n "$status" ]; then
        echo "fuzz: $target failed; the end of $log:" >&2
        tail -n 80 "$log" | sed 's/^/    /' >&2
    fi
done
finish "${failed[@]}"
