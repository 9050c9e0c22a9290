#!/usr/bin/env bash
# Runs a command with a private X server of its own (Wine needs one to create windows),
# and ends the server afterwards. The command's exit code is the script's.
#   with-xvfb.sh [--wine-prefix NAME] COMMAND [ARGUMENTS...]
# --wine-prefix gives the command a Wine prefix of its own, TMPDIR/NAME-<uid>: Wine's
# desktop process keeps the X display of the run that started it, so a prefix shared with
# tests that run without a display can't make windows. Its Wine server is ended afterwards.
set -u
script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
for tool in Xvfb xauth mcookie xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIPPED: not installed: $tool" >&2; exit 77; }
done
own_prefix=0
if [ "${1:-}" = --wine-prefix ]; then
    export WINEPREFIX=${TMPDIR:-/tmp}/$2-$(id -u)
    own_prefix=1
    shift 2
fi
gui_tmp=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX") || exit 1
gui_total=${WITH_XVFB_TIMEOUT:-600}
. "$script_dir/gui-lib.sh"
fail() {
    echo "with-xvfb: $*" >&2
    exit 1
}
finish() {
    [ "$own_prefix" = 1 ] && [ -n "$gui_wineserver" ] && gui_end_wineserver
    gui_stop_xvfb
    rm -rf "$gui_tmp"
}
trap finish EXIT
gui_start_xvfb
"$@"
