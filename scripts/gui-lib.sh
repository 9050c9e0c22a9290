# Shared by the GUI tests (source it): a private X server, bounded waits under one
# deadline, and screenshots taken once a window has been painted.
#
# The sourcing script sets, before calling these:
#   gui_tmp       a directory of its own (the X authority file and Xvfb's log go there)
#   gui_total     seconds the whole test may take; gui_reserve of them are kept for cleaning up
# and defines fail MESSAGE, which must end the script.

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

# shoot_settled FILE WINDOW [IMPORT-OPTION...]: a screenshot of the window once it has been
# painted: two shots in a row alike, and more than the two colours of a blank face. Poll it
# with wait_for; reset gui_last_signature first. -frame takes the window manager's frame
# (caption) too.
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
