#!/usr/bin/env bash
# The archives as a Windows user gets them. Every program and DLL in them imports only
# Windows' own DLLs (cwbench.exe also the chip's library): a MinGW runtime DLL, or any
# other, would be missing on the user's PC. Then each archive is unpacked into a fresh
# Wine prefix under "C:\Program Files (x86)\Радио утилиты\" and run there on an English
# system: portiq-dump.exe writes this machine as a scenario that portiq-sim.exe replays;
# PortIQ.exe shows its box and writes its log with Shift held (portiq_gui_test.sh);
# cwbench.exe runs with the simulator's DLL from the keyersim archive put beside it
# (cwbench_gui_test.sh, mode release).
#
# usage: archive_test.sh WINDOWS_BUILD DIST...
#   WINDOWS_BUILD  the Windows build whose probes and portiq-sim.exe the test uses
#   DIST           scripts/release.sh's output; every DIST's imports are checked, the last
#                  one's archives are run: they must be of WINDOWS_BUILD's architecture (where
#                  no i386 code runs: RELEASE_PRESET=release64's x86_64 archives, under wine64)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -ge 2 ] && build=$(cd "$1" && pwd) && shift || { sed -n '2,15s/^# \{0,1\}//p' "$0" >&2; exit 2; }
failed=()
export WINEPREFIX=${TMPDIR:-/tmp}/release-archives-wine-$(id -u)
rm -rf "$WINEPREFIX"
folder="$WINEPREFIX/drive_c/Program Files (x86)/Радио утилиты"
for dist in "$@"; do
    for zip in "$dist"/*.zip; do
        mkdir -p "$folder" && unzip -q "$zip" -d "$folder/$(basename "$zip" .zip)" || exit 1
    done
done

windows_own='kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|cfgmgr32|setupapi|winmm|msvcrt|version'
for file in "$folder"/*/*.exe "$folder"/*/*.dll; do
    allowed=$windows_own
    [ "$(basename "$file")" = cwbench.exe ] && allowed+='|morsixdll'
    dlls=$(objdump -p "$file" | sed -n 's/^\tDLL Name: //p')
    foreign=$(grep -viE "^($allowed)\.dll$" <<<"$dlls")
    [ -n "$dlls" ] && [ -z "$foreign" ] || failed+=("${file#"$folder"/} imports ${foreign:-nothing readable}")
    echo "${file#"$folder"/} imports:" $dlls
done

in_folder() { echo "$folder/$(basename "$(echo "${!#}/$1"-*.zip)" .zip)"; }  # the last DIST's
portiq=$(in_folder PortIQ "$@") cwbench=$(in_folder cwbench "$@")
[ ! -e "$cwbench/morsixdll.dll" ] || failed+=("the cwbench archive holds a morsixdll.dll")
cp "$(in_folder keyersim "$@")/morsixdll.dll" "$cwbench/" || exit 1
wine_run=("$root/scripts/wine-run.sh")
if (cd "$portiq" && LC_ALL=en_US.UTF-8 "${wine_run[@]}" ./portiq-dump.exe &&
    "${wine_run[@]}" "$build/portfinder/portiq-sim.exe" PortIq.scn) >"$WINEPREFIX.dump.log" 2>&1; then
    echo "portiq-dump.exe wrote $(grep -c . "$portiq/PortIq.scn") lines, which portiq-sim.exe replayed"
else
    cat "$WINEPREFIX.dump.log"; failed+=("portiq-dump.exe and portiq-sim.exe")
fi
timeout 30 /usr/lib/wine/wineserver -w  # the GUI tests start a Wine server with their display
artifacts=$build/screenshots/archives
PORTIQ_GUI_WINEPREFIX=$WINEPREFIX bash "$root/portfinder/tests/wine/portiq_gui_test.sh" "$portiq/PortIQ.exe" \
    "$build/portfinder/tests/wine/portiq_box_probe.exe" en_US.UTF-8 shift "$artifacts" || failed+=(PortIQ.exe)
CWBENCH_GUI_WINEPREFIX=$WINEPREFIX bash "$root/keyerbench/tests/wine/cwbench_gui_test.sh" "$cwbench/cwbench.exe" \
    "$cwbench/morsixdll.dll" "$build/keyerbench/tests/cwbench_probe.exe" release "$artifacts" || failed+=(cwbench.exe)

[ ${#failed[@]} -eq 0 ] && { echo "archive_test: passed"; rm -rf "$WINEPREFIX" "$WINEPREFIX".*; exit 0; }
printf 'archive_test: FAILED: %s\n' "${failed[@]}" >&2
exit 1
