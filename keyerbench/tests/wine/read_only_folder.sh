#!/usr/bin/env bash
# Runs cwbench_tests.exe's test of a program folder the user can't write: a folder holding
# the sample state file is made read-only, and the test finds the settings carried over
# into a per-user folder. Under root, which Wine lets write whatever the permission bits
# say, the folder is a read-only bind mount in a mount namespace of the test's own, with a
# Wine prefix (and so a Wine server) of its own inside it; another user gets the folder
# without write permission.
# usage: read_only_folder.sh WINE_RUN TEST_EXE GOLDEN_HEX WORK_DIR
set -u
[ $# -eq 4 ] || { echo "usage: $0 WINE_RUN TEST_EXE GOLDEN_HEX WORK_DIR" >&2; exit 2; }
wine_run=$1 exe=$2 golden=$3 work=$4
folder=$work/Program\ Files/cwbench
rm -rf "$work" && mkdir -p "$folder" "$work/user" || exit 1
for byte in $(grep -v '^#' "$golden"); do printf "\\x$byte"; done >"$folder/cwbench.cfg" || exit 1
export CWBENCH_READ_ONLY_FOLDER="Z:$folder" CWBENCH_USER_FOLDER="Z:$work/user"
run=("$wine_run" "$exe" --gtest_filter='StateFilePathsTest.AFolderTheUserCant*')
if [ "$(id -u)" = 0 ]; then
    if ! unshare -m true; then
        echo "SKIPPED: no mount namespace can be made here (unshare -m failed)" >&2
        exit 77
    fi
    export WINEPREFIX=${TMPDIR:-/tmp}/cwbench-read-only-wine-$(id -u)
    # shellcheck disable=SC2016
    unshare -m --propagation private bash -c '
        mount --bind -o ro "$1" "$1" || exit 1
        shift
        "$@"
        rc=$?
        /usr/lib/wine/wineserver -k 2>/dev/null
        /usr/lib/wine/wineserver -w 2>/dev/null
        exit $rc' _ "$folder" "${run[@]}"
else
    chmod a-w "$folder"
    "${run[@]}"
    rc=$?
    chmod u+w "$folder"
    exit $rc
fi
