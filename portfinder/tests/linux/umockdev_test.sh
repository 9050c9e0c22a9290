#!/usr/bin/env bash
# portiq's live path on the recorded systems of golden/linux, each an umockdev testbed
# (sysfs-fixture --umockdev): "report" runs portiq without options there, and its report
# and notes (paths written ROOT/sys/...) must be EXPECTED and NOTES (else none); "udev"
# applies the rules portiq --udev-rules writes there with udevadm test to every tty and
# card of each system TABLE names, which must get what TABLE says. What can't run here is
# skipped with the reason ("umockdev_test: skipped: ...").
#   umockdev_test.sh report WORK FIXTURE PORTIQ DESCRIPTORS SYSTEM.sys EXPECTED [NOTES]
#   umockdev_test.sh udev WORK FIXTURE PORTIQ DESCRIPTORS TABLE
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

# Runs a command in testbed $1, made in $work. umockdev diverts the /proc paths the testbed
# holds, so /proc/asound goes in first; its library is preloaded ahead of a sanitized
# portiq's runtime, which AddressSanitizer refuses unless told.
in_testbed() {
    local name=$1
    shift
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 TMPDIR=$work umockdev-run -d "$work/$name.umockdev" -- sh -c 'cp -R "$0/proc" "$UMOCKDEV_DIR" && exec "$@"' "$work/$name" "$@"
}

if [ "$mode" = apply ]; then
    # In a mount namespace of its own (unshare -m): udev reads only the rules portiq wrote,
    # keeps its database in a /run of its own and makes its links in a /dev of its own,
    # since umockdev diverts only the /dev paths the testbed holds.
    set -e
    name=$1
    mkdir -p "$work/empty" "$work/dev" "$work/$name.logs"
    for dir in /etc/udev/rules.d /usr/lib/udev/rules.d /lib/udev/rules.d; do
        if [ -d "$dir" ]; then mount --bind "$work/empty" "$dir"; fi
    done
    mount -t tmpfs tmpfs /run
    mkdir -p /run/udev/rules.d
    cp "$work/$name.rules" /run/udev/rules.d/70-tavrilink.rules
    mount -t tmpfs tmpfs "$work/dev"
    for node in null zero full random urandom tty; do
        touch "$work/dev/$node"
        mount --bind "/dev/$node" "$work/dev/$node"
    done
    mkdir "$work/dev/pts"
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$work/dev/pts"  # umockdev's ttys are ptys
    ln -s pts/ptmx "$work/dev/ptmx"
    ln -s /proc/self/fd "$work/dev/fd"
    mount --move "$work/dev" /dev
    # Per device, what udev gave it: a tty's links (each made in /dev), a card's new id.
    in_testbed "$name" sh -c '
        for device in /sys/class/tty/* /sys/class/sound/card*; do
            [ -e "$device" ] || continue
            name=${device##*/}
            id=$(cat "$device/id" 2>/dev/null)
            udevadm test --action=add "$device" >"$0/$name.out" 2>"$0/$name.log" || echo "$name udevadm test failed"
            given=$(sed -n "s/^DEVLINKS=//p" "$0/$name.out")
            for link in $given; do
                case $(readlink "$link") in */"$name") ;; *) given="$given (udev made no link $link)" ;; esac
            done
            if [ -e "$device/id" ] && [ "$(cat "$device/id")" != "$id" ]; then given=$(cat "$device/id"); fi
            echo "$name${given:+ $given}"
        done' "$work/$name.logs"
    exit 0
fi

command -v umockdev-run >/dev/null || skip "umockdev-run isn't installed (Debian package umockdev)"
rm -rf "$work"
mkdir -p "$work"

if [ "$mode" = report ]; then
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
    exit 0
fi

table=$1
golden=$(dirname "$table")
[ "$(id -u)" -eq 0 ] || skip "udevadm test needs root, in a mount namespace of its own"
command -v udevadm >/dev/null || skip "udevadm isn't installed (Debian package udev)"
why=$(unshare -m sh -c 'mount -t tmpfs tmpfs /run' 2>&1) || skip "no mount namespace of our own here (unshare -m): $why"

# What the test would leave in the real /dev and /run if it leaked: links, udev's records.
leftovers() {
    find /dev /run -xdev \( -path /dev/char -o -path /run/udev -o -name '*tavrilink*' -o -name '1[68][68]:*' \
        -o -name 'c1[68][68]:*' -o -name '+sound:card*' \) -printf '%p %y %l\n' 2>/dev/null | sort
}
before=$(leftovers)
failed=()
for name in $(awk '!/^#/ && NF { print $1 }' "$table" | sort -u); do
    testbed "$golden/$name.sys"
    in_testbed "$name" "$portiq" --udev-rules >"$work/$name.rules" || fail "portiq --udev-rules exited with $? on $name"
    unshare -m bash "$0" apply "$work" "$fixture" "$portiq" "$descriptors" "$name" | sort >"$work/$name.given" ||
        fail "udev's rules couldn't be applied in $name's testbed (above)"
    awk -v name="$name" '$1 == name { $1 = ""; sub(/^ /, ""); print }' "$table" | sort >"$work/$name.expected"
    if ! diff -u --label "expected ($table)" --label "given on $name" "$work/$name.expected" "$work/$name.given"; then
        echo "The rules:"
        cat "$work/$name.rules"
        echo "What each rule did (udevadm test's logs are in $work/$name.logs):"
        grep -h 'rules\.d/70-tavrilink\.rules' "$work/$name.logs"/*.log
        failed+=("$name")
    fi
done
after=$(leftovers)
if [ "$after" != "$before" ]; then
    diff -u <(echo "$before") <(echo "$after")
    fail "the real /dev or /run changed (above)"
fi
[ ${#failed[@]} -eq 0 ] || fail "the rules give other names than $table says on ${failed[*]}"
