# Shared by the GUI tests (source it): a private X server, bounded waits under one
# deadline, screenshots taken once a window has been painted; and for a Windows program
# under Wine, a prefix of its own, the program's run, and clean-up that keeps what a
# failed run leaves.
#
# The sourcing script sets, before calling these:
#   gui_tmp       a directory of its own (the X authority file and Xvfb's log go there);
#                 gui_begin makes one
#   gui_total     seconds the whole test may take; gui_reserve of them are kept for cleaning up
# fail MESSAGE (below, or the script's own) must end the script.

gui_total=${gui_total:-200}
gui_reserve=${gui_reserve:-20}
xvfb_pid=

# Seconds a step may wait: its own bound, cut to what is left before the deadline.
budget() {
    local left=$((gui_total - gui_reserve - SECONDS))
    [ "$left" -lt 1 ] && left=1
    [ "$1" -lt "$left" ] && echo "$1" || echo "$left"
}

# wait_for WHAT SECONDS COMMAND...: polls COMMAND until it succeeds, and fails the test
# when SECONDS pass first. COMMAND may fail the test itself when waiting is pointless.
wait_for() {
    local what=$1 limit
    limit=$(budget "$2")
    shift 2
    local until=$((SECONDS + limit))
    while ! "$@"; do
        [ "$SECONDS" -ge "$until" ] && fail "timed out after ${limit}s waiting for $what"
        sleep 0.2
    done
}

# gui_start_xvfb [WIDTHxHEIGHT]: a private X server; exports DISPLAY and XAUTHORITY.
gui_start_xvfb() {
    local screen=${1:-1024x768}
    # A cookie that fits whatever display number Xvfb picks (family "wild", no number): no
    # other client gets in, and no fixed number can collide with another run.
    export XAUTHORITY=$gui_tmp/Xauthority
    printf 'ffff 0000 0000 0012 %s 0010 %s\n' \
        "$(printf MIT-MAGIC-COOKIE-1 | od -An -tx1 | tr -d ' \n')" "$(mcookie)" |
        xauth -q -f "$XAUTHORITY" nmerge - 2>/dev/null
    [ -s "$XAUTHORITY" ] || fail "could not write the X authority file"
    # -noreset: by default Xvfb starts over each time its last client leaves, and a test's
    # own short-lived clients (xdotool, import) leave all the time.
    Xvfb -displayfd 3 -nolisten tcp -noreset -auth "$XAUTHORITY" -screen 0 "${screen}x24" \
        3>"$gui_tmp/display" >"$gui_tmp/xvfb.log" 2>&1 8>&- 9>&- &
    xvfb_pid=$!
    wait_for "Xvfb to start" 30 gui_xvfb_ready
    DISPLAY=:$(head -n 1 "$gui_tmp/display")
    export DISPLAY
    wait_for "Xvfb to accept clients" 30 gui_x_answers
    note "Xvfb on $DISPLAY"
}
gui_xvfb_ready() {
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended: $(tail -n 5 "$gui_tmp/xvfb.log")"
    grep -q '^[0-9][0-9]*$' "$gui_tmp/display"
}
gui_x_answers() { xdotool getdisplaygeometry >/dev/null 2>&1; }

gui_stop_xvfb() {
    [ -n "$xvfb_pid" ] || return 0
    kill "$xvfb_pid" 2>/dev/null
    local _
    for _ in $(seq 50); do kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
}

# gui_screenshot FILE WINDOW [IMPORT-OPTION...]: a screenshot of the window once it has
# been painted: two shots in a row alike, and more than the two colours of a blank face.
# -frame takes the window manager's frame (caption) too.
gui_screenshot() {
    gui_last_signature=
    wait_for "a settled screenshot of $(basename "$1")" 20 shoot_settled "$@"
    note "screenshot $(basename "$1")"
}
gui_last_signature=
shoot_settled() {
    import -silent "${@:3}" -window "$2" "$1" 2>>"$gui_tmp/import.log" || return 1
    local colours signature
    read -r colours signature < <(identify -format '%k %#\n' "$1" 2>>"$gui_tmp/import.log")
    if [ -n "${colours:-}" ] && [ "$colours" -gt 2 ] && [ "$signature" = "$gui_last_signature" ]; then
        return 0
    fi
    gui_last_signature=$signature
    sleep 0.3
    return 1
}

# ---- What a GUI test of a Windows program under Wine needs besides the X server --------
#
# A test script sets gui_total, sources this file, calls gui_require, then gui_begin NAME TAG
# ARTIFACTS (its scratch directory, clean-up and failure artifacts), gui_wine_prefix and
# gui_start_xvfb. It may use note and fail, and runs its program with gui_run_program.

note() { printf '[%3ds] %s\n' "$SECONDS" "$*"; }
gui_failed=0
fail() {
    printf '[%3ds] FAILED: %s\n' "$SECONDS" "$*" >&2
    gui_failed=1
    exit 1
}
# gui_usage: the sourcing script's opening comment, as its usage; exit code 2.
gui_usage() {
    sed -n '2,/^set -u/{/^#/s/^# \{0,1\}//p}' "$0" >&2
    exit 2
}
# gui_absolute PATH: PATH from the root; exit code 2 (a bad call) when there is no such file.
gui_absolute() {
    [ -f "$1" ] || { echo "no such file: $1" >&2; exit 2; }
    echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
}

# gui_require [TOOL...]: skips the test (exit code 77) unless the tools every GUI test uses,
# the Wine server and these TOOLs are installed.
gui_wineserver=/usr/lib/wine/wineserver
[ -x "$gui_wineserver" ] || gui_wineserver=$(command -v wineserver)
gui_require() {
    local missing=() tool
    for tool in Xvfb xauth mcookie xdotool import identify flock timeout od "$@"; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    [ -n "$gui_wineserver" ] || missing+=(wineserver)
    if [ ${#missing[@]} -gt 0 ]; then
        echo "SKIPPED: not installed: ${missing[*]}" >&2
        exit 77
    fi
}

# gui_end_wineserver: ends the prefix's Wine server and whatever it still runs.
gui_end_wineserver() {
    timeout 15 "$gui_wineserver" -k 2>/dev/null
    timeout 15 "$gui_wineserver" -w 2>/dev/null
}

# gui_begin NAME TAG ARTIFACTS: a scratch directory of its own (gui_tmp); on every way out
# the program, the Wine server, the window manager and the X server are ended and the
# scratch directory removed. When the test fails, the last screen and the scratch files
# (the logs) are kept in ARTIFACTS/TAG-failure.
gui_begin() {
    gui_tmp=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX") || exit 1
    gui_failure_dir=$3/$2-failure
    rm -rf "$gui_failure_dir"
    trap gui_cleanup EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
}
gui_program_pid=
gui_wm_pid=
gui_wine_used=0
gui_cleanup() {
    local status=$?
    trap - EXIT HUP INT TERM
    [ "$status" -ne 0 ] && gui_failed=1
    if [ "$gui_failed" = 1 ] && [ -n "$xvfb_pid" ]; then
        mkdir -p "$gui_failure_dir"
        timeout 10 import -silent -window root "$gui_failure_dir/screen.png" 2>/dev/null
    fi
    [ -n "$gui_program_pid" ] && kill "$gui_program_pid" 2>/dev/null
    [ "$gui_wine_used" = 1 ] && gui_end_wineserver
    [ -n "$gui_wm_pid" ] && kill "$gui_wm_pid" 2>/dev/null
    gui_stop_xvfb
    if [ "$gui_failed" = 1 ]; then
        mkdir -p "$gui_failure_dir"
        cp -r "$gui_tmp"/. "$gui_failure_dir"/ 2>/dev/null
        echo "logs and the last screen: $gui_failure_dir" >&2
    fi
    rm -rf "$gui_tmp"
    exit "$status"
}

# gui_wine_prefix EXE NAME [PREFIX]: WINEPREFIX is PREFIX, or by default one per user and
# architecture (gui_arch: win64 or win32, EXE's) under TMPDIR, named after NAME. Keys, focus
# and the foreground window live in the prefix's Wine server, and a second test driving it
# would steal them: the test holds the prefix alone (on file descriptor 8, which children
# are started without, so that no leftover process keeps the lock).
gui_wine_prefix() {
    local pe_offset machine
    pe_offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$1" | tr -d ' ')
    if [ "$machine" = 8664 ]; then gui_arch=win64; else gui_arch=win32; fi
    export WINEPREFIX=${3:-${TMPDIR:-/tmp}/$2-wine-$(id -u)-$gui_arch}
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 8>"$WINEPREFIX.session.lock"
    if ! flock -n 8; then
        note "waiting for another GUI test to finish with the Wine prefix"
        flock -w "$(budget 120)" 8 || fail "the Wine prefix $WINEPREFIX stayed busy"
    fi
    gui_wine_used=1
    # Wine's error messages, and only those: they go to the logs kept when a test fails,
    # and they tell when Wine could not use the X server.
    export WINEDEBUG=${WINEDEBUG:--all,err+all}
    note "Wine prefix $WINEPREFIX ($gui_arch)"
}

# gui_create_prefix COMMAND...: the first Wine run in a prefix creates it (the Wine runner
# does that under a lock); COMMAND is a cheap such run.
gui_create_prefix() {
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    note "creating the Wine prefix"
    timeout "$(budget 150)" "$@" >/dev/null 2>"$gui_tmp/wineboot.log" 8>&-
    [ -f "$WINEPREFIX/system.reg" ] || fail "the Wine prefix was not created: $(tail -n 3 "$gui_tmp/wineboot.log")"
}

# gui_start_wm: a small window manager, which frames each window with its caption as on
# a desktop.
gui_start_wm() {
    openbox --sm-disable >"$gui_tmp/openbox.log" 2>&1 8>&- &
    gui_wm_pid=$!
    wait_for "the window manager to start" 30 gui_wm_ready
    note "openbox is managing the screen"
}
gui_wm_ready() {
    kill -0 "$gui_wm_pid" 2>/dev/null || fail "openbox ended: $(tail -n 5 "$gui_tmp/openbox.log")"
    # The desktop number is a property only a window manager sets.
    xdotool get_desktop >/dev/null 2>&1
}

# gui_run_program DIRECTORY COMMAND...: COMMAND started in DIRECTORY in the background; its
# output goes to $gui_tmp/program.out and, when it ends, its exit code to program.exit (a
# finished child stays a zombie until waited for: polling the file is how to wait with a
# bound).
gui_run_program() {
    local dir=$1
    shift
    rm -f "$gui_tmp/program.exit"
    (
        cd "$dir" || exit 1
        "$@" >"$gui_tmp/program.out" 2>&1
        echo $? >"$gui_tmp/program.exit"
    ) 8>&- &
    gui_program_pid=$!
}
gui_program_running() { [ ! -s "$gui_tmp/program.exit" ]; }
gui_program_ended() { ! gui_program_running; }
gui_exit_code() { cat "$gui_tmp/program.exit"; }
# gui_check_ended_well: the program ended with exit code 0, and Wine saw no crash.
gui_check_ended_well() {
    gui_program_pid=
    [ "$(gui_exit_code)" = 0 ] || fail "exit code $(gui_exit_code), expected 0"
    ! grep -qi 'unhandled' "$gui_tmp/program.out" || fail "Wine reported a crash: $(head -n 5 "$gui_tmp/program.out")"
}
