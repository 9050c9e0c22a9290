#!/usr/bin/env bash
# Installs what the builds and their tests need, with apt-get. Idempotent: when every
# tool is already present it only checks and returns.
#   install-deps.sh host   the Linux build: compiler, CMake, GoogleTest, windres
#   install-deps.sh        everything: also the MinGW compilers, Wine, Xvfb, xdotool,
#                          ImageMagick and the locales the Windows tests run in
set -euo pipefail
profile=${1:-all}

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd ninja || need+=(ninja-build)
have_pkg libgtest-dev || need+=(libgtest-dev)
have_pkg libgmock-dev || need+=(libgmock-dev)
# windres also serves the Linux build: it compiles the string table the tests read.
have_cmd i686-w64-mingw32-windres || need+=(binutils-mingw-w64-i686)
if [ "$profile" != host ]; then
have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
# The Windows builds compile GoogleTest from Debian's sources.
[ -d /usr/src/googletest ] || need+=(googletest)
have_cmd file || need+=(file)
have_cmd Xvfb || need+=(xvfb)
have_cmd xdotool || need+=(xdotool)
have_cmd xauth || need+=(xauth)
# /usr/local/bin/convert may be a stand-in; ImageMagick's own binary lives in /usr/bin.
[ -x /usr/bin/convert ] || need+=(imagemagick)
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have_cmd x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
have_cmd wine || need+=(wine)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
# wine32 serves machines that can run i386 code; where the kernel refuses it, the
# Windows tests run the x86_64 build of the same sources under wine64 instead.
have_pkg wine32:i386 || need+=(wine32:i386)
have_cmd locale-gen || need+=(locales)
fi

ensure_packages() {
    [ ${#need[@]} -eq 0 ] && return 0

    local SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    if [ "$profile" != host ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    echo "install-deps: installing ${need[*]}" >&2
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}
ensure_packages

# Wine takes the user's language from LC_ALL; the locales must exist for that.
ensure_locales() {
    local SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    local missing=0
    for l in en_US ru_RU uk_UA; do
        locale -a 2>/dev/null | grep -qi "^${l}\.utf-\?8$" || missing=1
    done
    [ $missing -eq 0 ] && return 0
    for l in en_US ru_RU uk_UA; do
        $SUDO sed -i "s/^# *\(${l}\.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    done
    $SUDO locale-gen >/dev/null
}
[ "$profile" = host ] || ensure_locales
