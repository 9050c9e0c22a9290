#!/usr/bin/env bash
# PortIQ's main job: its whole run on the bundled default machine, printed as the
# message box would show it and followed by the diagnostic log. Installs and builds
# what is missing first. Extra arguments go to portiq-sim (e.g. --language 1049).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh host
if [ ! -f build/host/build.ninja ]; then
    cmake --preset host >/dev/null
fi
cmake --build --preset host --target portiq-sim >/dev/null
exec build/host/portfinder/portiq-sim "$@" portfinder/scenarios/default.scn
