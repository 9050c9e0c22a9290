#!/usr/bin/env bash
# portiq's live path on the recorded systems of golden/linux: each becomes an umockdev
# testbed (sysfs-fixture --umockdev), in which portiq runs without options and reads /sys
# and /proc/asound as on a PC with the boxes plugged in.
#
#   umockdev_test.sh report WORK FIXTURE PORTIQ DESCRIPTORS SYSTEM.sys EXPECTED [NOTES]
#       the report must be EXPECTED and the notes on standard error NOTES (else none),
#       their paths written ROOT/sys/..., as the test of the laid-out folders has them
#
# What can't run here is skipped, with the reason ("umockdev_test: skipped: ...").
set -uo pipefail
mode=$1 work=$2 fixture=$3 portiq=$4 descriptors=$5
shift 5

say() { echo "umockdev_test: $*"; }
skip() { say "skipped: $*"; exit 0; }
fail() { say "FAILED: $*"; exit 1; }

# Lays out SYSTEM.sys as $work/SYSTEM.umockdev and its /proc/asound under $work/SYSTEM.
testbed() {
    "$fixture" --umockdev "$work/$(basename "$1" .sys).umockdev" "$work/$(basename "$1" .sys)" "$descriptors" "$1" ||
        fail "sysfs-fixture can't make $1 a testbed"
}

# Runs a command in testbed $1 (made in $work, where a crash leaves it). umockdev diverts
# the /proc paths that the testbed holds, so its /proc/asound goes in first. Its library
# is preloaded ahead of a sanitized portiq's runtime, which AddressSanitizer refuses unless
# told.
in_testbed() {
    local name=$1
    shift
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 TMPDIR=$work umockdev-run -d "$work/$name.umockdev" -- sh -c 'cp -R "$0/proc" "$UMOCKDEV_DIR" && exec "$@"' "$work/$name" "$@"
}

command -v umockdev-run >/dev/null || skip "umockdev-run isn't installed (Debian package umockdev)"
rm -rf "$work"
mkdir -p "$work"

system=$1 expected=$2 notes=${3:-/dev/null}
testbed "$system"
# strace shows the calls as umockdev passed them on: any path still in /sys or
# /proc/asound is one portiq read from this PC instead of the testbed.
trace=()
if strace -o /dev/null true 2>/dev/null; then
    trace=(strace -f -e trace=%file -o "$work/trace")
    export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0  # LeakSanitizer can't run under ptrace
fi
in_testbed "$(basename "$system" .sys)" "${trace[@]}" "$portiq" >"$work/actual.out" 2>"$work/actual.err" ||
    fail "portiq exited with $?: $(cat "$work/actual.err")"
diff -u "$expected" "$work/actual.out" || fail "portiq's report differs from $expected (above)"
sed 's#^portiq: /#portiq: ROOT/#' "$work/actual.err" >"$work/notes.err"
diff -u "$notes" "$work/notes.err" || fail "portiq's notes differ from $notes (above)"
if [ ${#trace[@]} -eq 0 ]; then
    say "strace can't run here: not checked that portiq read only the testbed"
elif grep -E '"/(sys|proc/asound)[/"]' "$work/trace"; then
    fail "portiq read this PC's /sys or /proc/asound, past umockdev (above)"
fi
