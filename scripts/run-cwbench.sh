#!/usr/bin/env bash
# cwbench under Wine with the simulated keyer chip: builds cwbench.exe and the simulator's
# morsixdll.dll (x86_64, which runs on every Wine; WIN32=1 takes the i686 build), puts
# them side by side in build/<preset>/cwbench-sim/ (where the state file cwbench.cfg stays
# between runs) and starts the program on your X display. The simulator's KEYERSIM_*
# variables pass through, e.g.
#   KEYERSIM_REVISION=19 KEYERSIM_TRACE=trace.txt scripts/run-cwbench.sh
set -uo pipefail
script=run-cwbench
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh

preset=win64
[ "${WIN32:-0}" = 1 ] && preset=win32
bash scripts/install-deps.sh || finish "installing the packages"
if [ ! -f "build/$preset/build.ninja" ]; then
    quiet_step "configuring the $preset build" cmake --preset "$preset" || finish "configuring the $preset build"
fi
quiet_step "building cwbench.exe and morsixdll.dll" cmake --build --preset "$preset" --target cwbench morsixdll ||
    finish "building cwbench.exe and morsixdll.dll"
run=build/$preset/cwbench-sim
mkdir -p "$run"
cp "build/$preset/keyerbench/cwbench.exe" "build/$preset/keyersim/dll/morsixdll.dll" "$run/" || finish "laying out $run"
[ -n "${DISPLAY:-}" ] || finish "no X display (DISPLAY is not set)"
cd "$run" && exec "$root/scripts/wine-run.sh" ./cwbench.exe
