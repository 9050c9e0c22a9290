#!/usr/bin/env bash
# End-to-end test of cwbench.exe: the real program under Wine on a private X server, with
# the simulated chip's morsixdll.dll beside it, driven with the keyboard and the mouse as
# a user drives it (xdotool), checked through what its windows show (cwbench_probe.exe),
# what the simulated chip received (its trace) and the state file it leaves.
#
# usage: cwbench_gui_test.sh CWBENCH_EXE MORSIXDLL PROBE_EXE MODE ARTIFACTS_DIR
#   MODE  mx1     120 dpi, a chip of revision 19: Com3 chosen in the menu (the state file's
#                 first byte becomes 3), the window's size, OpenMx shows the MX1 labels,
#                 Help with neither cwbench.hlp nor README.txt, with each of them beside
#                 the program; CloseMx, Exit
#         mx2     96 dpi, a chip of revision 20: Com3, the window's size, OpenMx shows the
#                 MX2 labels, "CQ TEST" typed comes back in the Outgoing Morse Window,
#                 Update with Weight 95 (the "Parameter Error" box) and 60 (sent), Msg1
#                 edited to "CQ [S25]DE Q2ZX" and played (the speed changes), ClearBuf
#                 stops it, the About box, CloseMx, Exit; then the state file's 1044 bytes
#         stress  144 dpi, a thousand times real time, pushbutton 1 pressed every 20 ms: Msg1 plays,
#                 RandChar (until its echoes pass the Outgoing Morse Window's limit, the newest
#                 shown) and KeyerTest run, then Tune and Exit; the program must end, the
#                 message's characters ([P] first) reach the chip in order, the chip closes released
#         release the program where a user unpacked it, with MORSIXDLL already beside it:
#                 OpenMx, a typed E comes back, Exit; the state file is written beside it
#   cwbench runs from a folder named in Cyrillic, which the ANSI code page 1252 can't spell
#   (in the release mode, from wherever the archive was unpacked).
#   ARTIFACTS_DIR  screenshots go here, and the run's logs and last screen when it fails
#
# Environment: CWBENCH_GUI_TIMEOUT (seconds, default 240), CWBENCH_GUI_WINEPREFIX (default:
# one per user and architecture under TMPDIR), CWBENCH_WINE_RUN (default scripts/wine-run.sh).
# Exit code: 0 passed, 1 failed, 2 a bad call, 77 a tool it needs is missing.
set -u -o pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$script_dir/../../..
gui_total=${CWBENCH_GUI_TIMEOUT:-240}
. "$root/scripts/gui-lib.sh"

[ $# -eq 5 ] || gui_usage
exe=$(gui_absolute "$1") || exit 2
dll=$(gui_absolute "$2") || exit 2
probe=$(gui_absolute "$3") || exit 2
mode=$4 artifacts=$5
case $mode in mx1 | mx2 | stress | release) ;; *) echo "unknown mode: $mode" >&2; exit 2 ;; esac
mkdir -p "$artifacts" && artifacts=$(cd "$artifacts" && pwd) || exit 2
wine_run=${CWBENCH_WINE_RUN:-$root/scripts/wine-run.sh}
gui_require

tag=cwbench-$mode
gui_begin cwbench-gui "$tag" "$artifacts"
tmp=$gui_tmp
work=$tmp/Андрей/cw
[ "$mode" = release ] && work=$(dirname "$exe")
gui_wine_prefix "$exe" cwbench-gui "${CWBENCH_GUI_WINEPREFIX:-}"
gui_start_xvfb 1600x1200  # room for the window at 144 dpi, grown for Wine's dialog font
wine_env=(env -u LANGUAGE LC_ALL=en_US.UTF-8)
gui_create_prefix "${wine_env[@]}" "$wine_run" "$probe" window

# The screen's resolution the program sizes itself by.
dpi=96
[ "$mode" = mx1 ] && dpi=120
[ "$mode" = stress ] && dpi=144
loader=/usr/lib/wine/wine
[ "$gui_arch" = win64 ] && loader=/usr/lib/wine/wine64
timeout "$(budget 60)" "$loader" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    >"$tmp/reg.log" 2>&1 8>&- || fail "could not set LogPixels: $(cat "$tmp/reg.log")"
# Text files open in Notepad, as on Windows (Wine's prefix lacks the extension's link).
timeout "$(budget 60)" "$loader" reg add 'HKCR\.txt' /ve /t REG_SZ /d txtfile /f \
    >"$tmp/reg.log" 2>&1 8>&- || fail "could not tie .txt to Notepad: $(cat "$tmp/reg.log")"
# A new Wine server reads the resolution afresh.
gui_end_wineserver

# --- Helpers ----------------------------------------------------------------------------------

# probe ARGS...: what cwbench_probe reads, on standard output.
probe() { timeout "$(budget 30)" "${wine_env[@]}" "$wine_run" "$probe" "$@" 2>>"$tmp/probe.err" 8>&-; }
panel_text() { probe text "$1"; }
# text_is ID TEXT: the panel control shows TEXT.
text_is() { [ "$(panel_text "$1")" = "$2" ]; }
expect_text() {
    local got
    got=$(panel_text "$1")
    [ "$got" = "$2" ] || fail "control $1 shows \"$got\", expected \"$2\""
}
# click [--in CAPTION] ID: a left click in the middle of the control's visible part.
click() {
    local where
    where=$(probe "${@:1:$#-1}" point "${!#}" 2>/dev/null | tail -n 1) || fail "no control to click: $*"
    # shellcheck disable=SC2086
    xdotool mousemove --sync $where click 1 || fail "xdotool could not click at $where"
    sleep 0.3
}
main_window() { xdotool search --onlyvisible --name '^Morsix Test Bed$' 2>/dev/null | head -n 1; }
focus_main() {
    local w
    w=$(main_window)
    [ -n "$w" ] || fail "the main window is gone"
    timeout 20 xdotool windowfocus --sync "$w" 2>/dev/null || fail "could not focus the main window"
}
# menu KEYS...: opens a popup with its Alt key and goes on with the keys given.
menu() {
    focus_main
    xdotool key --delay 150 "$@" || fail "xdotool key $*"
    sleep 0.5
}
box_shown() { probe box "$1" >"$tmp/box.txt" 2>/dev/null && grep -qx 'foreground=1' "$tmp/box.txt"; }
dialog_shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
dialog_gone() { ! dialog_shown "$1"; }
help_engine_answered() { box_shown ERROR && grep -q 'cwbench.hlp' "$tmp/box.txt"; }
# read_box CAPTION TEXT: the box with that caption is up and says TEXT; Enter closes it.
read_box() {
    wait_for "the \"$1\" box" 30 box_shown "$1"
    local said
    said=$(sed -n '2,$p' "$tmp/box.txt")
    [ "$said" = "$2" ] || fail "the \"$1\" box says \"$said\"; expected \"$2\""
    note "box \"$1\": $said"
    xdotool key Return
    wait_for "the \"$1\" box to close" 30 dialog_gone "$1"
}
# state_file_holds_message TEXT: Msg1 (offset 19) of the state file starts with TEXT and
# its ending zero.
state_file_holds_message() {
    cmp -s -i 19:0 -n $((${#1} + 1)) "$work/cwbench.cfg" <(printf '%s\0' "$1")
}

trace_has() { grep -q -- "$1" "$work/trace.txt"; }
screenshot() {  # NAME WINDOW-TITLE
    local w
    w=$(xdotool search --onlyvisible --name "^$2\$" | head -n 1)
    [ -n "$w" ] || fail "no window \"$2\" to photograph"
    gui_screenshot "$artifacts/$1.png" "$w"
}

# start_cwbench VARIABLES...: cwbench.exe and the simulator's DLL in a fresh directory, or where they lie (release).
lay_out_work() {
    rm -rf "$work"
    mkdir -p "$work"
    cp "$exe" "$work/cwbench.exe" && cp "$dll" "$work/morsixdll.dll" || fail "could not lay out $work"
}
start_cwbench() {
    [ "$mode" = release ] || lay_out_work
    [ -f "$tmp/state.cfg" ] && cp "$tmp/state.cfg" "$work/cwbench.cfg"
    note "starting cwbench.exe: $*"
    gui_run_program "$work" "${wine_env[@]}" "$@" KEYERSIM_TRACE=trace.txt "$wine_run" ./cwbench.exe
    wait_for "the main window" 90 main_shown
}
main_shown() {
    [ -n "$(main_window)" ] && probe window >/dev/null 2>&1 && return 0
    gui_program_running || fail "cwbench.exe ended (exit code $(gui_exit_code)) without a window: $(tail -n 5 "$tmp/program.out")"
    return 1
}

check_size() {  # [WIDTH HEIGHT]: exactly that size if given; every panel control inside (Exit clicked at its centre)
    local size outside
    size=$(probe window) || fail "the probe found no main window"
    note "main window: $size (X window $(xdotool getwindowgeometry "$(main_window)" | sed -n 's/.*Geometry: //p'))"
    [ $# -eq 0 ] || case $size in "outer=$1,$2 "*) ;; *) fail "the main window is $size; expected outer=$1,$2" ;; esac
    outside=$(probe fits) || fail "controls outside the client area (id left,top,right,bottom): $outside"
}

choose_com3() {
    # Alt+C opens Comm with Com1 selected; two steps down is Com3.
    menu alt+c Down Down Return
    wait_for "the state file to name COM3" 10 state_says_3
    note "Com3 chosen: the state file's first byte is 3"
}
state_says_3() { [ -f "$work/cwbench.cfg" ] && [ "$(od -An -tu1 -N1 "$work/cwbench.cfg" | tr -d ' ')" = 3 ]; }

open_and_check() {  # REVISION GROUP PTT KEY PDLTONE-VISIBLE
    click "$IDOPEN"
    local gen=MX1
    [ "$1" -ge 20 ] && gen=MX2
    wait_for "the open chip's revision" 15 text_is "$MXSERIAL" "$gen F/W revision $1"
    expect_text "$IDOPENSTAT" Open
    expect_text "$IDOUTCFG" "$2"
    expect_text "$IDP5PTT" "$3"
    expect_text "$IDP5KEY" "$4"
    probe state "$ID_PDLTONE" | grep -q "^visible=$5 " || fail "PDL Tone: $(probe state "$ID_PDLTONE"), expected visible=$5"
    expect_text "$IDWEIGHT" 50
    note "OpenMx: \"$gen F/W revision $1\", \"$2\", \"$3\", \"$4\", PDL Tone visible=$5"
}

exit_program() {
    local where start_ns
    where=$(probe point "$IDEXIT" | tail -n 1) || fail "no Exit button to click"
    start_ns=$(date +%s%N)
    # shellcheck disable=SC2086
    xdotool mousemove --sync $where click 1 || fail "xdotool could not click Exit"
    local until=$((SECONDS + $(budget 60)))
    while gui_program_running; do
        [ "$SECONDS" -ge "$until" ] && fail "cwbench.exe still runs a minute after Exit"
        sleep 0.05
    done
    note "Exit: the program had ended $((($(date +%s%N) - start_ns) / 1000000)) ms after the click (Wine's own teardown included)"
    gui_check_ended_well
}

# Control ids (keyerbench/resources/cwbench_resource.h).
IDEXIT=2 INBOUND=103 OUTBOUND=101 MXSERIAL=107 IDWEIGHT=116 CLEARBUF=204 IDOPEN=210 IDCLOSEX=211
IDUPDATE=408 IDOPENSTAT=424 IDTUNE=421 TESTSTR=201 IDP5PTT=428 IDP5KEY=430 IDOUTCFG=431 IDLOOP=438 ID_PDLTONE=124
CM_MSGTEXT=601 CM_MSGSAVE=603 IDOK=1

# --- The runs -----------------------------------------------------------------------------------

run_mx1() {
    start_cwbench KEYERSIM_REVISION=19
    check_size 504 610
    screenshot main-120dpi 'Morsix Test Bed'
    choose_com3
    open_and_check 19 "Pin5 Config" PTT Key 0
    trace_has 'call mx_open(3)' || fail "the chip was not opened on COM3"
    trace_has 'call mx_setmx1mode()' || fail "no mx_setmx1mode after opening an MX1 chip"
    # Help > Help with no help beside the program: a box says where help is. With an
    # (empty) cwbench.hlp, the help engine is asked for it by its short name, since the
    # engine takes ANSI names. With README.txt instead, Notepad opens that.
    menu alt+h h
    read_box Help "Help for cwbench is in README.txt, which comes with cwbench.exe in its archive. Put README.txt beside cwbench.exe and choose Help again."
    : >"$work/cwbench.hlp"
    menu alt+h h
    wait_for "the help engine's answer" 60 help_engine_answered
    note "the help engine: $(sed -n '2,$p' "$tmp/box.txt" | tr '\n' ' ')"
    click --in ERROR 1  # OK
    wait_for "the help engine's box to close" 30 dialog_gone ERROR
    rm "$work/cwbench.hlp" && printf 'cwbench help\r\n' >"$work/README.txt"
    menu alt+h h
    wait_for "Notepad with README.txt" 60 dialog_shown 'README.*Notepad'
    xdotool search --onlyvisible --name '^README.*Notepad$' windowclose || fail "could not close Notepad"
    click "$IDCLOSEX"
    wait_for "Closed" 10 text_is "$IDOPENSTAT" Closed
    exit_program
}

# set_weight VALUE: the Weight box holds VALUE, typed over what it held.
set_weight() {
    click "$IDWEIGHT"
    xdotool key End BackSpace BackSpace BackSpace BackSpace && xdotool type --delay 80 "$1"
    sleep 0.3
}

run_mx2() {
    start_cwbench KEYERSIM_REVISION=20
    check_size  # grown from 380 x 498 where the dialog font is wider, as Wine's is
    choose_com3
    open_and_check 20 "Output Cfg" "PTT On" "Port A/B" 1
    screenshot main-96dpi 'Morsix Test Bed'

    # Typed text is keyed and comes back, character by character, as the chip sends it.
    click "$INBOUND"
    xdotool type --delay 120 "CQ TEST"
    local typed_ns=$(($(date +%s%N)))
    wait_for "CQ TEST in the Outgoing Morse Window" 30 text_is "$OUTBOUND" "CQ TEST"
    local echo_ms=$((($(date +%s%N) - typed_ns) / 1000000))
    expect_text "$INBOUND" "CQ TEST"
    # The keyed time: from the chip's receiving the C to its echo of the last T, chip time.
    local keyed
    keyed=$(awk '{ sub(/\r$/, "") }
                 $2 == "call" && $3 == "mx_char(67)" && first == "" { first = $1 }
                 $2 == "echo" && $3 == "0x54" { last = $1 }
                 END { printf "%d", last - first }' "$work/trace.txt")
    note "CQ TEST echoed completely ${echo_ms} ms after the last key was typed; the chip took ${keyed} ms" \
         "from the first character to the last echo"
    cp "$work/trace.txt" "$artifacts/$tag-trace.txt"

    set_weight 95
    click "$IDUPDATE"
    read_box "Parameter Error" "Weight must be between 10 and 90"
    trace_has 'call mx_weight' && fail "a rejected weight reached the chip"
    set_weight 60
    click "$IDUPDATE"
    wait_for "mx_weight(60) in the trace" 10 trace_has 'call mx_weight(60)'
    dialog_shown "Parameter Error" && fail "Weight 60 was refused"
    expect_text "$IDWEIGHT" 60
    note "Weight 95 refused, 60 sent"

    # The Message Editor: Msg1 > Edit.
    menu alt+1 e
    wait_for "the Message Editor" 30 dialog_shown "Message Editor"
    click --in "Message Editor" "$CM_MSGTEXT"
    xdotool type --delay 80 "CQ [S25]DE Q2ZX"
    sleep 0.3
    [ "$(probe --in "Message Editor" text "$CM_MSGTEXT")" = "CQ [S25]DE Q2ZX" ] || fail "the editor holds \"$(probe --in "Message Editor" text "$CM_MSGTEXT")\""
    screenshot editor 'Message Editor'
    click --in "Message Editor" "$CM_MSGSAVE"
    wait_for "the editor to close" 10 dialog_gone "Message Editor"
    # The state file is saved once the editor's dialog has returned, a moment after its
    # window is gone.
    wait_for "the edited message in the state file" 10 state_file_holds_message "CQ [S25]DE Q2ZX"

    # Msg1 > Play: the speed token reaches the chip; ClearBuf stops the message.
    # (ClearBuf's place is looked up first: once the speed changes, "DE Q2ZX" takes
    # three seconds to key, and the click must land within them.)
    local clear_at
    clear_at=$(probe point "$CLEARBUF" | tail -n 1) || fail "no ClearBuf button"
    menu alt+1 p
    wait_for "the speed change in the trace" 30 trace_has "byte 0x1c arg 25"
    # shellcheck disable=SC2086
    xdotool mousemove --sync $clear_at click 1 || fail "xdotool could not click ClearBuf"
    wait_for "mx_clearbuf in the trace" 10 trace_has 'call mx_clearbuf()'
    sleep 3
    local after
    after=$(awk '/call mx_clearbuf\(\)/ { seen = 1; next } seen && $2 == "echo"' "$work/trace.txt" | wc -l)
    [ "$after" -le 1 ] || fail "$after characters were still keyed after ClearBuf"
    local out
    out=$(panel_text "$OUTBOUND")
    case $out in *Q2ZX) fail "the whole message was sent despite ClearBuf: $out" ;; esac
    expect_text "$INBOUND" ""
    note "Msg1 played with the speed change ([S25] sent as 0x1C 25) and was stopped by ClearBuf: \"$out\""

    # Help > About.
    menu alt+h a
    wait_for "the About box" 30 dialog_shown "Morsix Testbed"
    [ "$(probe --in "Morsix Testbed" text 202)" = "Ver 3.1, Built 12:59:52, Jan 16 2007 " ] || fail "About: $(probe --in "Morsix Testbed" text 202)"
    [ "$(probe --in "Morsix Testbed" text 208)" = "Operating System is WinNT/WinXP" ] || fail "About: $(probe --in "Morsix Testbed" text 208)"
    screenshot about 'Morsix Testbed'
    xdotool key Escape
    sleep 0.5
    dialog_shown "Morsix Testbed" || fail "Escape closed the About box"
    click --in "Morsix Testbed" "$IDOK"
    wait_for "the About box to close" 10 dialog_gone "Morsix Testbed"

    click "$IDCLOSEX"
    wait_for "Closed" 10 text_is "$IDOPENSTAT" Closed
    exit_program
    check_state_file
}

check_state_file() {
    local f=$work/cwbench.cfg
    [ "$(stat -c %s "$f")" = 1044 ] || fail "the state file has $(stat -c %s "$f") bytes"
    local expected=$tmp/expected.cfg
    {
        printf '\x03\x00\x00\x00'
        printf '\x02\x10\x05\x3c\x00\x00\x05\x14\x00\x00\x12\x32\x32\x06\xff'  # weight 60
        printf 'CQ [S25]DE Q2ZX'
        head -c $((1044 - 4 - 15 - 15)) /dev/zero
    } >"$expected"
    cmp "$expected" "$f" >"$tmp/cmp.txt" 2>&1 || fail "the state file differs: $(cat "$tmp/cmp.txt"); $(od -An -tx1 -N40 "$f")"
    note "state file: 1044 bytes, COM3, weight 60, Msg1 \"CQ [S25]DE Q2ZX\", the rest as a fresh file has it"
}

echoes() { awk '{ sub(/\r$/, "") } $2 == "echo" { printf "%s", substr($0, index($0, "\047") + 1, 1) }' "$work/trace.txt"; }
echoed_past() { [ "$(grep -c ' echo ' "$work/trace.txt")" -gt "$1" ]; }
outbound_newest() { shown=$(panel_text "$OUTBOUND") all=$(echoes) && [ -n "$shown" ] && [[ $all == *"$shown" ]]; }
# RandChar runs until the echoes pass the Outgoing Morse Window's text limit; the window then
# ends with the last echo and holds no more than its limit (and no less than half of it).
check_window_limit() {
    local limit=30000 shown all  # Wine's default text limit of an edit (Windows' is 32,767)
    wait_for "more than $limit echoes" 150 echoed_past $((limit + 5000))
    click "$IDLOOP"
    wait_for "the Outgoing Morse Window to end with the last echo" 30 outbound_newest
    [ "${#shown}" -le "$limit" ] && [ "${#shown}" -ge $((limit / 2)) ] || fail "the window holds ${#shown} characters; its limit is $limit"
    note "after ${#all} echoes the Outgoing Morse Window shows the newest ${#shown} (limit $limit)"
}

run_stress() {
    # A state file with Msg1 made of characters the random test never sends.
    local message='!"#$%&()*+/:;<=>@]^_`{|}~'
    {
        printf '\x01\x00\x00\x00\x02\x3c\x05\x32\x00\x00\x05\x14\x00\x00\x00\x32\x32\x06\xff'  # 60 WPM, no Farns
        printf '[P]%s' "$message"
        head -c $((1044 - 22 - ${#message})) /dev/zero
    } >"$tmp/state.cfg"
    local buttons= i
    for i in $(seq 1 90); do buttons+="${buttons:+,}1@$((i * 20000))"; done
    start_cwbench KEYERSIM_REVISION=20 KEYERSIM_TIMESCALE=1000 KEYERSIM_BUTTONS="$buttons"
    check_size  # at least 604 x 732
    click "$IDOPEN"
    wait_for "the chip to open" 15 text_is "$IDOPENSTAT" Open
    menu alt+1 p
    click "$IDLOOP"
    click "$TESTSTR"
    sleep 2
    check_window_limit
    click "$IDTUNE"
    wait_for "Tune's key in the trace" 10 trace_has 'call mx_key(1)'
    exit_program
    # What the chip was sent: the message's characters in order, restarted by the
    # pushbuttons, none skipped or twice; at the close contacts, key and PTT up, nothing sent since mx_clearbuf but 0x18 0.
    awk -v msg="$message" '
        { sub(/\r$/, "") }  # the DLL writes its trace with CR LF line ends
        !closed && $2 == "key" { key = $3 } !closed && $2 == "ptt" { ptt = $3; ptt_ons += ($3 == "on") }
        !closed && $2 == "call" { if ($3 == "mx_clearbuf()") since_clear = 0; else if ($3 ~ /^mx_char\(/) since_clear++ }
        $2 == "call" && $3 ~ /^mx_char\(/ {
            c = substr($3, 9) + 0; ch = sprintf("%c", c)
            if (index(msg, ch) == 0) next
            if (ch == substr(msg, 1, 1)) { plays++; next_i = 2; sent++; next }
            if (ch != substr(msg, next_i, 1)) { printf "out of order: %s where %s was due\n", ch, substr(msg, next_i, 1); bad = 1; exit }
            next_i++; sent++
        }
        $2 == "call" && $3 ~ /^mx_directkey\(/ { last_key = $3; if (closed) keyed_after = 1 }
        $2 == "call" && $3 == "mx_close()" { closed = 1 }
        $2 == "echo" { echoes++ } $2 == "status" { statuses++ } $2 == "button" { buttons++ }
        END {
            printf "plays=%d sent=%d echoes=%d statuses=%d buttons=%d last_key=%s closed=%d keyed_after=%d ptt_ons=%d at_close: key=%s ptt=%s sent_since_clear=%d\n",
                   plays, sent, echoes, statuses, buttons, last_key, closed, keyed_after, ptt_ons, key, ptt, since_clear
            exit bad
        }' "$work/trace.txt" >"$tmp/stress.txt" || fail "$(cat "$tmp/stress.txt")"
    note "stress: $(cat "$tmp/stress.txt")"
    grep -q 'plays=[1-9]' "$tmp/stress.txt" || fail "the message never played"
    grep -q 'last_key=mx_directkey(0) closed=1 keyed_after=0' "$tmp/stress.txt" || fail "the contacts were not released before the chip closed"
    grep -q 'ptt_ons=[1-9][0-9]* at_close: key=up ptt=off sent_since_clear=2$' "$tmp/stress.txt" ||
        fail "the chip was closed keying, with PTT on or with bytes in its buffer"
}

run_release() {
    [ ! -e "$work/cwbench.cfg" ] || fail "a state file is there before the first start"
    start_cwbench
    open_and_check 20 "Output Cfg" "PTT On" "Port A/B" 1
    click "$INBOUND"
    xdotool type E
    wait_for "E in the Outgoing Morse Window" 30 text_is "$OUTBOUND" E
    exit_program
    [ "$(stat -c %s "$work/cwbench.cfg" 2>/dev/null)" = 1044 ] || fail "no 1044-byte cwbench.cfg beside cwbench.exe: $(ls "$work")"
    note "the state file is beside cwbench.exe"
}

"run_$mode"
note "PASSED: $tag"
