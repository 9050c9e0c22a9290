#!/usr/bin/env bash
# Runs a Windows program under Wine (ctest's cross-compiling emulator): a private prefix
# per architecture, no debug chatter, no Mono or Gecko installers. A PE32+ program runs
# under wine64, a PE32 one under the 32-bit loader.
set -u
exe=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

pe_offset=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$exe" | tr -d ' ')
if [ "$machine" = 8664 ]; then
    loader=/usr/lib/wine/wine64
    export WINEARCH=win64
else
    # test-all's BOXTOOLS_NO_I386=1 stands for a kernel that runs no i386 code, where the
    # 32-bit loader can't start: a PE32 program run then would pass only here.
    if [ "${BOXTOOLS_NO_I386:-0}" = 1 ]; then
        echo "wine-run: BOXTOOLS_NO_I386=1: no 32-bit program runs here: $exe" >&2
        exit 126
    fi
    loader=/usr/lib/wine/wine
    export WINEARCH=win32
fi
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/boxtools-wine-$(id -u)-$WINEARCH}

# The first run creates the prefix; parallel tests must not do that twice.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            log=$(mktemp "${TMPDIR:-/tmp}/wineboot.XXXXXX.log")
            if ! "$loader" wineboot -i >"$log" 2>&1 || ! "${loader%/*}/wineserver" -w >>"$log" 2>&1; then
                echo "wine-run: creating the Wine prefix $WINEPREFIX failed; wineboot said:" >&2
                sed 's/^/    /' "$log" >&2
            fi
            rm -f "$log"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec "$loader" "$exe" "$@"
