#!/usr/bin/env bash
# cwbench_tests.exe with a program folder the user can't write, holding the sample state
# file: a read-only bind mount in a mount namespace of its own (with its own Wine prefix and
# server) for root, whom Wine lets write anything; no write permission for another user.
# usage: read_only_folder.sh WINE_RUN TEST_EXE GOLDEN_HEX WORK_DIR PREFIX_NAME
#   PREFIX_NAME  root's Wine prefix, TMPDIR/PREFIX_NAME-0: one per architecture
set -u
folder="$4/Program Files/cwbench"
rm -rf "$4" && mkdir -p "$folder" "$4/user" || exit 1
for byte in $(grep -v '^#' "$3"); do printf "\\x$byte"; done >"$folder/cwbench.cfg" || exit 1
export CWBENCH_READ_ONLY_FOLDER="Z:$folder" CWBENCH_USER_FOLDER="Z:$4/user"
run=("$1" "$2" --gtest_filter='StateFilePathsTest.*')
if [ "$(id -u)" != 0 ]; then
    chmod a-w "$folder" && "${run[@]}"; rc=$?; chmod u+w "$folder"; exit $rc
fi
unshare -m true || { echo "SKIPPED: no mount namespace can be made here (unshare -m)" >&2; exit 77; }
export WINEPREFIX=${TMPDIR:-/tmp}/$5-0
# shellcheck disable=SC2016
exec unshare -m --propagation private bash -c 'mount --bind -o ro "$1" "$1" || exit 1
    "${@:2}"; rc=$?
    /usr/lib/wine/wineserver -k; /usr/lib/wine/wineserver -w
    exit $rc' _ "$folder" "${run[@]}"
