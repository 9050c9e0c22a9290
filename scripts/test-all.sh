#!/usr/bin/env bash
# Builds every build warning-free and runs every test: the Linux build's tests, the same
# tests under AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer,
# the fuzz step (scripts/fuzz.sh), the Windows build's tests under Wine, then the release
# archives (scripts/release.sh): unpacked and run under Wine, and built a second time from
# a clone to be compared (release/tests/). The deliverable is the 32-bit (i686) build;
# where this machine can't run i386 code (a kernel without 32-bit emulation), its tests run
# from the x86_64 build of the same sources under wine64 instead. Either way both Windows
# builds are compiled with their tests, so that neither path breaks unseen where the other
# one runs. BOXTOOLS_NO_I386=1 takes the x86_64 path on any machine. Each step prints how
# long it took.
set -uo pipefail
script=test-all
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh
bash scripts/install-deps.sh || finish "installing the packages"

jobs=${JOBS:-$(nproc)}
failed=()
step_name=""
step_started=$SECONDS
end_step() {
    if [ -n "$step_name" ]; then echo "--- $step_name: $((SECONDS - step_started)) s"; fi
    step_name=""
}
step() {
    end_step
    step_name=$*
    step_started=$SECONDS
    echo; echo "=== $* ==="
}

build() {  # preset
    quiet_step "configuring the $1 build" cmake --preset "$1" -DBOXTOOLS_WERROR=ON &&
        cmake --build --preset "$1" -j "$jobs"
}

run_tests() {  # preset
    ctest --preset "$1" -j "$jobs" --timeout 600 || failed+=("$1 tests")
}

step "Linux host build"
if build host; then run_tests host; else failed+=("host build"); fi

step "Linux host build under ASan + UBSan"
if build asan; then run_tests asan; else failed+=("asan build"); fi

step "Linux host build under ThreadSanitizer"
if build tsan; then run_tests tsan; else failed+=("tsan build"); fi

step "Fuzzing every parser (scripts/fuzz.sh)"
bash scripts/fuzz.sh || failed+=("fuzz")

# 32-bit Wine starts only where the kernel runs i386 code.
no_i386=
if [ "${BOXTOOLS_NO_I386:-0}" = 1 ]; then
    no_i386="BOXTOOLS_NO_I386=1"
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    no_i386="this machine runs no i386 code"
fi

step "Windows i686 build (the deliverable)"
if build win32; then
    for exe in build/win32/portfinder/PortIQ.exe build/win32/keyerbench/cwbench.exe; do
        description=$(LC_ALL=C file -b "$exe")
        echo "$exe: $description"
        case $description in
            "PE32 executable (GUI) Intel 80386"*) ;;
            *) failed+=("$exe is not a 32-bit GUI program") ;;
        esac
    done
else
    failed+=("win32 build")
fi

if [ -z "$no_i386" ]; then
    step "Windows i686 tests under Wine"
    run_tests win32
    windows_build=build/win32
    # The tests of machines without i386 code: compiled here, run there.
    step "Windows x86_64 build, its tests compiled but not run"
    build win64 || failed+=("win64 build")
else
    step "Windows x86_64 build and tests under wine64 ($no_i386)"
    if build win64; then run_tests win64; else failed+=("win64 build"); fi
    windows_build=build/win64
fi

step "Release archives (scripts/release.sh), each unpacked and run under Wine"
if bash scripts/release.sh; then
    run_dist=dist
    if [ -n "$no_i386" ]; then
        echo "$no_i386: the archives run under wine64 are x86_64 builds of them."
        run_dist=build/release64/dist
        RELEASE_PRESET=release64 DIST=$run_dist bash scripts/release.sh || failed+=("the x86_64 archives")
    fi
    bash release/tests/archive_test.sh "$windows_build" "$run_dist" || failed+=("the release archives' test")

    # One commit, two builds, the same archives: the commit built again from a clone in
    # another folder, without the compiler cache. Uncommitted changes would differ of their own.
    step "The release built again from a clone in another folder: the same archives"
    second=
    if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
        echo "left out: the working tree has uncommitted changes"
    elif second=$(mktemp -d "${TMPDIR:-/tmp}/release-elsewhere.XXXXXX") &&
        git clone -q --no-checkout "$root" "$second/checkout" &&
        git -C "$second/checkout" checkout -q --detach "$(git rev-parse HEAD)" &&
        CCACHE_DISABLE=1 DIST=$second/dist bash "$second/checkout/scripts/release.sh" >"$second/release.log" 2>&1 &&
        diff dist/SHA256SUMS "$second/dist/SHA256SUMS"; then
        echo "the same SHA256SUMS from a clone built in $second/checkout"
        rm -rf "$second"
    else
        [ -f "$second/release.log" ] && tail -n 20 "$second/release.log"
        failed+=("the release built again in $second (kept) failed or differs from dist/ (<)")
    fi
else
    failed+=("scripts/release.sh")
fi

end_step
echo; echo "test-all: $SECONDS s in all"
finish "${failed[@]}"
