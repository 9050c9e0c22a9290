#!/usr/bin/env bash
# Builds both builds warning-free and runs every test: the Linux build's tests, then the
# Windows build's under Wine. The deliverable is the 32-bit (i686) build; where this
# machine can't run i386 code (a kernel without 32-bit emulation), its tests run from
# the x86_64 build of the same sources under wine64 instead.
set -uo pipefail
script=test-all
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh
bash scripts/install-deps.sh || finish "installing the packages"

jobs=${JOBS:-$(nproc)}
failed=()
step() { echo; echo "=== $* ==="; }

build() {  # preset
    quiet_step "configuring the $1 build" cmake --preset "$1" -DBOXTOOLS_WERROR=ON &&
        cmake --build --preset "$1" -j "$jobs"
}

run_tests() {  # preset
    ctest --preset "$1" -j "$jobs" --timeout 600 || failed+=("$1 tests")
}

step "Linux host build"
if build host; then run_tests host; else failed+=("host build"); fi

# PortIQ reads what USB hardware and drivers hand it: its tests, hostile hardware among
# them, run once more with every memory or undefined-behaviour finding fatal.
step "Linux build under AddressSanitizer and UndefinedBehaviorSanitizer: PortIQ's tests"
if quiet_step "configuring the host-sanitize build" cmake --preset host-sanitize -DBOXTOOLS_WERROR=ON &&
    cmake --build --preset host-sanitize -j "$jobs" --target portiq_tests; then
    (cd build/host-sanitize/portfinder/tests && ./portiq_tests --gtest_brief=1) || failed+=("PortIQ's tests under the sanitizers")
else
    failed+=("host-sanitize build")
fi

step "Windows i686 build (the deliverable)"
if build win32; then
    for exe in build/win32/portfinder/PortIQ.exe build/win32/keyerbench/cwbench.exe; do
        description=$(file -b "$exe")
        echo "$exe: $description"
        case $description in
            "PE32 executable (GUI) Intel 80386"*) ;;
            *) failed+=("$exe is not a 32-bit GUI program") ;;
        esac
    done
else
    failed+=("win32 build")
fi

# cwbench's threads (the panel, the status callback, the workers, the simulated chip) under
# ThreadSanitizer: any data race fails the step.
step "ThreadSanitizer: cwbench's worker and stress tests, the simulated chip's tests"
if quiet_step "configuring the tsan build" cmake --preset tsan -DBOXTOOLS_WERROR=ON &&
    cmake --build --preset tsan -j "$jobs" --target cwbench_tests cwbench_stress_tests keyersim_tests; then
    for t in keyerbench/tests/cwbench_tests keyerbench/tests/cwbench_stress_tests keyersim/tests/keyersim_tests; do
        TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}" "build/tsan/$t" --gtest_brief=1 ||
            failed+=("${t##*/} under ThreadSanitizer")
    done
else
    failed+=("tsan build")
fi

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    step "Windows i686 tests under Wine"
    run_tests win32
else
    step "Windows x86_64 build and tests under wine64 (this machine runs no i386 code)"
    if build win64; then run_tests win64; else failed+=("win64 build"); fi
fi

echo
finish "${failed[@]}"
