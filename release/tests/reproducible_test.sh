#!/usr/bin/env bash
# One commit, two builds, the same archives: builds the committed HEAD again from a fresh
# clone in another folder, with the compiler cache off, and compares its SHA256SUMS with
# DIST's, scripts/release.sh's output for that commit. On a failure the second build is kept.
# usage: reproducible_test.sh DIST
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
sums=$(cd "${1:?usage: reproducible_test.sh DIST}" && pwd)/SHA256SUMS || exit 2
[ -f "$sums" ] || { echo "no $sums: run scripts/release.sh first" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/release-elsewhere.XXXXXX") || exit 1
clone=$work/a-second-checkout
git clone -q "$root" "$clone" && git -C "$clone" checkout -q --detach "$(git -C "$root" rev-parse HEAD)" || exit 1
if ! CCACHE_DISABLE=1 DIST=$work/dist bash "$clone/scripts/release.sh" >"$work/release.log" 2>&1; then
    cat "$work/release.log"
    echo "reproducible_test: FAILED: the second release build (in $clone)" >&2
    exit 1
fi
if ! diff "$sums" "$work/dist/SHA256SUMS"; then
    echo "reproducible_test: FAILED: $1 (<) and the build in $clone (>) differ" >&2
    exit 1
fi
echo "reproducible_test: passed: a clone built in $clone gives the same SHA256SUMS"
rm -rf "$work"
