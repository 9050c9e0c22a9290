#!/usr/bin/env bash
# Runs a command with a private X server of its own (Wine needs one to create windows),
# and ends the server afterwards. The command's exit code is the script's.
#   with-xvfb.sh COMMAND [ARGUMENTS...]
set -u
script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
fail() {
    echo "with-xvfb: $*" >&2
    exit 1
}
for tool in Xvfb xauth mcookie xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIPPED: not installed: $tool" >&2; exit 77; }
done
gui_tmp=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX") || exit 1
gui_total=${WITH_XVFB_TIMEOUT:-600}
. "$script_dir/gui-lib.sh"
trap 'gui_stop_xvfb; rm -rf "$gui_tmp"' EXIT
gui_start_xvfb
"$@"
