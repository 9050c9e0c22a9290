#!/usr/bin/env bash
# Installs the Debian packages the builds and their tests use, with apt-get. Idempotent:
# when every package is installed it only checks and returns. Every package whose files
# a build uses directly is named here (none is left to --no-install-recommends).
#   install-deps.sh host     the Linux build: compiler, CMake, Ninja, GoogleTest, windres,
#                            umockdev and strace for its tests
#   install-deps.sh release  the archives (scripts/release.sh): the i686 build and zip
#   install-deps.sh          everything: also the sanitizer and fuzz builds' runtimes and
#                            clang, the MinGW-w64 compilers, Wine, Xvfb and the X tools
#                            and locales the Windows tests run with
set -uo pipefail
script=install-deps
. "$(dirname "$0")/lib.sh"
profile=${1:-all}

# The Linux build. windres serves it too: it compiles the string table the tests read.
# windres preprocesses with the MinGW-w64 C compiler, and the .rc files include
# <winresrc.h> from the MinGW-w64 headers. umockdev's testbeds stand in for /sys and
# /proc/asound, so that portiq runs on the recorded systems without options; strace
# shows that it read nothing past them. nlohmann-json3-dev: the JSON report's writer and
# its tests' reader (header-only; the Windows builds take its headers too). jq: README's
# one-liner on the JSON report is run as a test.
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev nlohmann-json3-dev jq
          binutils-mingw-w64-i686 gcc-mingw-w64-i686-posix mingw-w64-i686-dev
          umockdev strace)
if [ "$profile" = release ]; then
    # The i686 build configures with GoogleTest's sources (it builds none of the tests);
    # objdump (binutils) reads the programs' imports, zip packs the archives.
    packages=(cmake ninja-build g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
              binutils-mingw-w64-i686 mingw-w64-i686-dev googletest binutils zip nlohmann-json3-dev)
elif [ "$profile" != host ]; then
    packages+=(
        # The Windows builds: i686 (the deliverable) and x86_64 (run under wine64).
        g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
        binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
        googletest                 # GoogleTest's sources, compiled by the Windows builds
        file                       # checks that the deliverable is a 32-bit GUI program
        wine wine64                # runs the Windows tests
        xvfb xauth xdotool imagemagick   # the GUI tests' display, input, screenshots
        openbox                    # a small window manager: the boxes get their caption
        locales                    # Wine takes the user's language from LC_ALL
        zip unzip                  # the release archives, packed and tested
        udev                       # udevadm: checks the udev rules portiq writes (verify, systemd 253 on)
        # The host tests under sanitizers (presets asan, tsan, built with g++): GCC's
        # AddressSanitizer, UndefinedBehaviorSanitizer and ThreadSanitizer runtimes.
        libasan8 libubsan1 libtsan2
        # The fuzz targets (preset fuzz): clang 14; its compiler-rt package holds
        # libFuzzer (libclang_rt.fuzzer) and clang's sanitizer runtimes, which
        # --no-install-recommends would leave out; llvm-symbolizer (llvm-14) puts file
        # and line into the reports.
        clang-14 libclang-rt-14-dev llvm-14
    )
    # 32-bit Wine serves machines that can run i386 code; where the kernel refuses it,
    # the Windows tests run the x86_64 build of the same sources under wine64 instead.
    packages+=(wine32:i386)
fi

have_pkg() { LC_ALL=C dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

need=()
for p in "${packages[@]}"; do have_pkg "$p" || need+=("$p"); done

failed=()
if [ ${#need[@]} -ne 0 ]; then
    echo "install-deps: installing ${need[*]} (this takes a few minutes)" >&2
    if [[ " ${need[*]} " == *":i386 "* ]] && ! LC_ALL=C dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386 || failed+=("dpkg --add-architecture i386")
    fi
    quiet_step "apt-get update" $SUDO apt-get update || failed+=("apt-get update")
    quiet_step "apt-get install" $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends "${need[@]}" || failed+=("apt-get install ${need[*]}")
fi

# Wine takes the user's language from LC_ALL; the locales must exist for that. hi_IN has
# no ANSI code page of its own: Wine makes it UTF-8, as Windows set to UTF-8 does.
ensure_locales() {
    local missing=()
    for l in en_US ru_RU uk_UA hi_IN; do
        LC_ALL=C locale -a 2>/dev/null | grep -qi "^${l}\.utf-\?8$" || missing+=("$l")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    for l in "${missing[@]}"; do
        $SUDO sed -i "s/^# *\(${l}\.UTF-8 UTF-8\)/\1/" /etc/locale.gen || return 1
        grep -q "^${l}\.UTF-8 UTF-8" /etc/locale.gen || echo "${l}.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen
    done
    quiet_step "locale-gen" $SUDO locale-gen
}
if [ "$profile" = all ] && [ ${#failed[@]} -eq 0 ]; then
    ensure_locales || failed+=("locales en_US, ru_RU, uk_UA, hi_IN")
fi

if [ ${#failed[@]} -ne 0 ]; then finish "${failed[@]}"; fi
exit 0
