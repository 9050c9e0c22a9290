#!/usr/bin/env bash
# Builds the archives a Windows user downloads, into dist/, each holding one folder of its
# own name (PortIQ-<version>-win32/ ...), so that archives unpacked side by side keep
# their own README.txt:
#   PortIQ-<version>-win32.zip    PortIQ.exe, portiq-dump.exe, README.txt, LICENSE.txt
#   cwbench-<version>-win32.zip   cwbench.exe, README.txt, LICENSE.txt (the chip's own
#                                 morsixdll.dll comes with the chip)
#   keyersim-<version>-win32.zip  the simulated chip's morsixdll.dll, README.txt, LICENSE.txt
#   SHA256SUMS                    the three archives' SHA-256 sums, with CR LF line ends
# The versions come from CMakeLists.txt. No archive is written when a program imports a
# DLL that isn't Windows' own, or isn't marked for Windows Vista (subsystem version 6.0).
# Prints each program's size. Installs what it needs first (install-deps.sh release).
#
# Reproducible: one commit gives the same archives, byte for byte, in any folder and at
# any time, on any machine with the same Debian packages. The programs are built with the
# release preset (no folder names, no link time); each archive's entries go in in one
# order, its folder first, with the same modes and with the commit's time
# (SOURCE_DATE_EPOCH, by default the last commit's), and README.txt names the commit. Nor
# do they follow the user's settings: the script runs in the C locale and UTC, and sets
# every staged file's mode.
#
# Environment: RELEASE_PRESET=release64 builds the x86_64 programs instead (archives
# named -win64), for the archive test under wine64 where no i386 code runs; DIST=DIR
# writes elsewhere than dist/ (replacing the .zip files there); JOBS the build's jobs.
set -uo pipefail
script=release
# objdump names its fields in the user's language, and globs and sort order names by its
# collation (SHA256SUMS' lines, the entries of a zip): the tools' output is read as C's.
export LC_ALL=C TZ=UTC
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh
bash scripts/install-deps.sh release || finish "installing the packages"

preset=${RELEASE_PRESET:-release}
build=build/$preset
mkdir -p "${DIST:-dist}" && dist=$(cd "${DIST:-dist}" && pwd) || finish "creating ${DIST:-dist}"

# The commit, and the time every archive entry gets.
commit=$(git rev-parse HEAD 2>/dev/null) || commit=unknown
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null)}
[ -n "$SOURCE_DATE_EPOCH" ] || finish "not a git checkout: set SOURCE_DATE_EPOCH to the sources' time (seconds since 1970)"
if [ "$commit" != unknown ] && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "release: uncommitted changes: these archives are not those of commit $commit" >&2
    commit="$commit with uncommitted changes"
fi
commit_date=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d) || finish "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH is not a time"

echo "=== building the $preset preset (commit $commit, $commit_date) ==="
quiet_step "configuring the $preset build" cmake --preset "$preset" -DBOXTOOLS_WERROR=ON \
    "-DBOXTOOLS_COMMIT=$commit" "-DBOXTOOLS_COMMIT_DATE=$commit_date" || finish "configuring the $preset build"
# The build stages each archive's files in $build/archives/<archive name>/; a version
# changed since the last run must not leave its old folder behind.
rm -rf "$build/archives"
cmake --build --preset "$preset" -j "${JOBS:-$(nproc)}" || finish "building the $preset preset"

# Every program imports only Windows' own DLLs (cwbench.exe also the chip's library): a
# MinGW runtime DLL, or any other, would be missing on the user's PC. And each asks for
# subsystem version 6.0, which Windows XP refuses with a message of its own.
echo "=== each program's size, subsystem version and the DLLs it imports ==="
rm -f "$dist"/*.zip "$dist/SHA256SUMS"
failed=()
windows_own='kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|cfgmgr32|setupapi|winmm|msvcrt|version'
for program in "$build"/archives/*/*.exe "$build"/archives/*/*.dll; do
    allowed=$windows_own
    [ "$(basename "$program")" = cwbench.exe ] && allowed+='|morsixdll'
    headers=$(objdump -p "$program")
    dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers")
    subsystem=$(awk '$1 == "MajorSubsystemVersion" { major = $2 } $1 == "MinorSubsystemVersion" { print major "." $2 }' <<<"$headers")
    foreign=$(echo $(grep -viE "^($allowed)\.dll$" <<<"$dlls"))
    echo "${program#"$build"/archives/}: $(stat -c %s "$program") bytes, subsystem ${subsystem:-unknown}," $dlls
    [ -n "$dlls" ] && [ -z "$foreign" ] ||
        failed+=("${program#"$build"/archives/} imports ${foreign:-no DLL objdump can read}")
    [ "$subsystem" = 6.0 ] ||
        failed+=("${program#"$build"/archives/} has subsystem version ${subsystem:-unknown}, not 6.0")
done
[ ${#failed[@]} -eq 0 ] || finish "${failed[@]}"

echo "=== packing into $dist ==="
for folder in "$build"/archives/*/; do
    name=$(basename "$folder")
    # zip stores each entry's mode (the umask's) and its time in local time, and takes
    # entries in the order given: all fixed here, the folder's own entry too (named alone,
    # without -r, zip stores it as an entry and nothing under it). -X leaves out the
    # owner's ids and the exact times.
    chmod 644 "$folder"* && chmod 755 "$folder" && touch -d "@$SOURCE_DATE_EPOCH" "$folder"* "$folder" &&
        (cd "$folder/.." && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -9 "$dist/$name.zip" -@) ||
        failed+=("packing $name.zip")
done
[ -n "$(ls "$dist"/*.zip 2>/dev/null)" ] || failed+=("no archive was staged in $build/archives")
# CR LF line ends, for Notepad before Windows 10 1809 (which shows LF ends as one line);
# sha256sum -c reads them too.
(cd "$dist" && sha256sum -- *.zip | sed 's/$/\r/' >SHA256SUMS) || failed+=("SHA256SUMS")

[ ${#failed[@]} -eq 0 ] && { ls -l "$dist"; cat "$dist/SHA256SUMS"; }
finish "${failed[@]}"
