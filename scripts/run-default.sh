#!/usr/bin/env bash
# PortIQ's main job: its whole run on the bundled default machine, printed as the
# message box would show it and followed by the diagnostic log. Installs and builds
# what is missing first. Extra arguments go to portiq-sim (e.g. --language 1049).
set -uo pipefail
script=run-default
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh

bash scripts/install-deps.sh host || finish "installing the Linux build's packages"
if [ ! -f build/host/build.ninja ]; then
    quiet_step "configuring the host build" cmake --preset host || finish "configuring the host build"
fi
quiet_step "building portiq-sim" cmake --build --preset host --target portiq-sim || finish "building portiq-sim"
build/host/portfinder/portiq-sim "$@" portfinder/scenarios/default.scn || finish "portiq-sim on the default scenario"
