#!/usr/bin/env bash
# The archives as a Windows user gets them: side by side in a fresh Wine prefix under
# "C:\Program Files (x86)\Радио утилиты\" and run there on an English system.
# portiq-dump.exe writes this machine as a scenario that portiq-sim.exe replays; PortIQ.exe
# shows its box and writes its log with Shift held (portiq_gui_test.sh); cwbench.exe runs
# with the DLL of the keyersim archive put beside it (cwbench_gui_test.sh, mode release).
# usage: archive_test.sh WINDOWS_BUILD DIST
#   WINDOWS_BUILD  the Windows build whose probes and portiq-sim.exe the test uses
#   DIST           scripts/release.sh's output of the same architecture (where no i386
#                  code runs: RELEASE_PRESET=release64's x86_64 archives, under wine64)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 2 ] && build=$(cd "$1" && pwd) && dist=$(cd "$2" && pwd) || { sed -n '2,10s/^# //p' "$0" >&2; exit 2; }
export WINEPREFIX=${TMPDIR:-/tmp}/release-archives-wine-$(id -u)
rm -rf "$WINEPREFIX"
folder="$WINEPREFIX/drive_c/Program Files (x86)/Радио утилиты"
mkdir -p "$folder" && for zip in "$dist"/*.zip; do unzip -q "$zip" -d "$folder" || exit 1; done
portiq=$(echo "$folder"/PortIQ-*) cwbench=$(echo "$folder"/cwbench-*)
failed=()
[ "$(LC_ALL=C ls "$folder")" = "$(cd "$dist" && LC_ALL=C ls -- *.zip | sed 's/\.zip$//')" ] || failed+=("the archives unpacked into: $(echo $(ls "$folder"))")
[ ! -e "$cwbench/morsixdll.dll" ] || failed+=("the cwbench archive holds a morsixdll.dll")
cp "$folder"/keyersim-*/morsixdll.dll "$cwbench/" || exit 1

wine_run=$root/scripts/wine-run.sh
(cd "$portiq" && LC_ALL=en_US.UTF-8 "$wine_run" ./portiq-dump.exe && "$wine_run" "$build/portfinder/portiq-sim.exe" PortIq.scn) \
    >"$WINEPREFIX.dump.log" 2>&1 || { cat "$WINEPREFIX.dump.log"; failed+=("portiq-dump.exe, then portiq-sim.exe on its PortIq.scn"); }
timeout 30 /usr/lib/wine/wineserver -w  # the GUI tests start a Wine server with their display
artifacts=$build/screenshots/archives
PORTIQ_GUI_WINEPREFIX=$WINEPREFIX bash "$root/portfinder/tests/wine/portiq_gui_test.sh" "$portiq/PortIQ.exe" \
    "$build/portfinder/tests/wine/portiq_box_probe.exe" en_US.UTF-8 shift "$artifacts" || failed+=(PortIQ.exe)
CWBENCH_GUI_WINEPREFIX=$WINEPREFIX bash "$root/keyerbench/tests/wine/cwbench_gui_test.sh" "$cwbench/cwbench.exe" \
    "$cwbench/morsixdll.dll" "$build/keyerbench/tests/cwbench_probe.exe" release "$artifacts" || failed+=(cwbench.exe)

[ ${#failed[@]} -eq 0 ] && { echo "archive_test: passed"; rm -rf "$WINEPREFIX" "$WINEPREFIX".*; exit 0; }
printf 'archive_test: FAILED: %s\n' "${failed[@]}" >&2
exit 1
