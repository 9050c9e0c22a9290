#!/usr/bin/env bash
# End-to-end test of PortIQ.exe: runs the real program under Wine on a private X server
# with a small window manager (so that boxes get their caption), finds its message box,
# photographs it, reads its text, dismisses it the way a user would (Enter, with or without
# Shift or Ctrl held) and checks what the program left behind.
#
# usage: portiq_gui_test.sh PORTIQ_EXE BOX_PROBE_EXE LOCALE MODE ARTIFACTS_DIR [SCENARIO]
#   PORTIQ_EXE     the program under test: PortIQ.exe, or portiq-sim.exe in mode found
#   BOX_PROBE_EXE  portiq_box_probe.exe, which reads a box's text from inside Wine
#   LOCALE         the LC_ALL the program runs under: ru_RU.UTF-8, uk_UA.UTF-8, en_US.UTF-8
#   MODE           found       portiq-sim.exe --show on SCENARIO (the bundled default
#                              machine): the real box with the boxes PortIQ found, in the
#                              locale's language; dismissed with Enter alone
#                  shift       Enter with Shift held: PortIq.lst is written, CR LF line ends
#                  ctrl        the same with Ctrl held
#                  plain       Enter alone: a PortIq.lst already there is left as it was
#                  unwritable  PortIq.lst is a directory: Shift+Enter brings a second box
#                              that says the log could not be saved
#                  argument    started with an argument: a system-modal box, no log
#   ARTIFACTS_DIR  the screenshots go here, and the run's logs when the test fails
#
# Environment:
#   PORTIQ_GUI_WINEPREFIX  the Wine prefix (default: one per user and architecture under
#                          TMPDIR). A test holds it for its whole run and ends its Wine server
#                          afterwards, so tests sharing a prefix take turns.
#   PORTIQ_GUI_TIMEOUT     seconds the whole test may take (default 200); every wait is cut
#                          to fit, so that the test always cleans up before ctest's TIMEOUT.
#   PORTIQ_WINE_RUN        the Wine runner (default: the project's scripts/wine-run.sh)
#
# Exit code: 0 passed, 1 failed, 2 a bad call, 77 a tool it needs is missing (ctest
# reports a skip).
set -u -o pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

note() { printf '[%3ds] %s\n' "$SECONDS" "$*"; }
fail() {
    printf '[%3ds] FAILED: %s\n' "$SECONDS" "$*" >&2
    failed=1
    exit 1
}

if [ $# -lt 5 ] || [ $# -gt 6 ]; then
    sed -n '2,/^set -u/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
    exit 2
fi
exe=$1 probe=$2 locale=$3 mode=$4 artifacts=$5 scenario=${6:-}
case $mode in
    shift | ctrl | plain | unwritable | argument) ;;
    found) [ -f "$scenario" ] || { echo "mode found needs a scenario file" >&2; exit 2; } ;;
    *) echo "unknown mode: $mode" >&2; exit 2 ;;
esac
for file in "$exe" "$probe"; do
    [ -f "$file" ] || { echo "no such program: $file" >&2; exit 2; }
done
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
probe=$(cd "$(dirname "$probe")" && pwd)/$(basename "$probe")
mkdir -p "$artifacts" && artifacts=$(cd "$artifacts" && pwd) || exit 2
wine_run=${PORTIQ_WINE_RUN:-$script_dir/../../../scripts/wine-run.sh}
# The server of the Wine that the runner starts.
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

missing=()
for tool in Xvfb xauth mcookie xdotool openbox import identify flock timeout od; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ -x "$wine_run" ] || missing+=("$wine_run")
[ -n "$wineserver" ] || missing+=(wineserver)
if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIPPED: not installed: ${missing[*]}" >&2
    exit 77
fi
# An unknown LC_ALL silently falls back to C, and the box would then be in English.
if LC_ALL=$locale locale 2>&1 | grep -q 'Cannot set'; then
    echo "the locale $locale is not generated on this machine" >&2
    exit 2
fi

# The text PortIQ shows for each language (its string table, as the user reads it), and
# the report for the default machine: two boxes found through their USB product strings,
# the first with its sound device, and a plain FTDI cable.
boxes=$'\tUSB Audio CODEC\nCOM5\tTavrilink Nova CAT port\nCOM6\tTavrilink Nova PTT/CW port\n\n'
boxes2=$'\nCOM7\tTavrilink Meridian SERIAL port\nCOM8\tTavrilink Meridian FSK port\n\n'
case $locale in
    ru* )
        language=1049
        expected_box='Не подключен Tavrilink или не установлен драйвер.'
        expected_found="Найден интерфейс №1"$'\nAudio'"$boxes""Найден интерфейс №2$boxes2"$'Найдены FTDI порты:\tCOM3\n\nПри необходимости делайте изменения\nв Диспетчере Устройств.'
        expected_not_saved='Не удалось сохранить диагностический журнал в файл PortIq.lst.' ;;
    uk* )
        language=1058
        expected_box='Не підключений інтерфейс або не встановлений драйвер.'
        expected_found="Знайдено інтерфейс №1"$'\nAudio'"$boxes""Знайдено інтерфейс №2$boxes2"$'Знайдено FTDI порти:\tCOM3\n\nПри необхідності робіть зміни\nу Диспетчері Пристроїв.'
        expected_not_saved='Не вдалося зберегти діагностичний журнал у файл PortIq.lst.' ;;
    * )
        language=1033
        expected_box='Tavrilink device not found or drivers not installed.'
        expected_found=$'Found device #1\nAudio'"$boxes"$'Found device #2'"$boxes2"$'FTDI ports found:\tCOM3\n\nGo to Device Manager to make\nchanges, if needed.'
        expected_not_saved='The diagnostic log could not be saved to PortIq.lst.' ;;
esac
[ "$mode" = found ] && expected_box=$expected_found
# Wine has no device tree for PortIQ to walk and no USB host controller, so the log is
# the sound list (whatever wave-input devices Wine offers) and then this one line.
expected_log_end=$' *** ERROR *** Device tree root not located. ErrorCode = 19\r\n'
caption=PortIQ

# --- Time, the X server and screenshots: the GUI tests' shared helpers ----------------------

tmp=$(mktemp -d "${TMPDIR:-/tmp}/portiq-gui.XXXXXX") || exit 1
gui_tmp=$tmp
gui_total=${PORTIQ_GUI_TIMEOUT:-200}
. "$script_dir/../../../scripts/gui-lib.sh"

# --- Clean-up on every way out ------------------------------------------------------------

failed=0
wm_pid=
portiq_pid=
wine_used=0
tag=portiq-$(printf '%s' "$locale" | tr -c 'A-Za-z0-9._-' '_')-$mode
failure_dir=$artifacts/$tag-failure
rm -rf "$failure_dir"
rm -f "$artifacts/$tag.png" "$artifacts/$tag-error-box.png"

cleanup() {
    local status=$?
    trap - EXIT HUP INT TERM
    [ "$status" -ne 0 ] && failed=1
    if [ "$failed" = 1 ] && [ -n "$xvfb_pid" ]; then
        mkdir -p "$failure_dir"
        timeout 10 import -silent -window root "$failure_dir/screen.png" 2>/dev/null
    fi
    # The program, whatever else Wine started for it, and its Wine server.
    [ -n "$portiq_pid" ] && kill "$portiq_pid" 2>/dev/null
    if [ "$wine_used" = 1 ]; then
        timeout 15 "$wineserver" -k 2>/dev/null
        timeout 15 "$wineserver" -w 2>/dev/null
    fi
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    gui_stop_xvfb
    if [ "$failed" = 1 ]; then
        mkdir -p "$failure_dir"
        cp -r "$tmp"/. "$failure_dir"/ 2>/dev/null
        echo "logs and the last screen: $failure_dir" >&2
    fi
    rm -rf "$tmp"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# --- The Wine prefix: this test's alone while it runs ----------------------------------------

pe_offset=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$exe" | tr -d ' ')
if [ "$machine" = 8664 ]; then arch=win64; else arch=win32; fi
export WINEPREFIX=${PORTIQ_GUI_WINEPREFIX:-${TMPDIR:-/tmp}/portiq-gui-wine-$(id -u)-$arch}
mkdir -p "$(dirname "$WINEPREFIX")"
# Keys, focus and the foreground window live in the Wine server; a second test driving the
# same server would steal them. Every child is started without this descriptor, so a
# leftover process can't keep the lock.
exec 8>"$WINEPREFIX.session.lock"
if ! flock -n 8; then
    note "waiting for another GUI test to finish with the Wine prefix"
    flock -w "$(budget 120)" 8 || fail "the Wine prefix $WINEPREFIX stayed busy"
fi
note "Wine prefix $WINEPREFIX ($arch)"
wine_used=1

# --- A private X server -------------------------------------------------------------------

gui_start_xvfb
note "Xvfb on $DISPLAY"

# A small window manager: it frames each window with its caption, as on a desktop.
openbox --sm-disable >"$tmp/openbox.log" 2>&1 8>&- &
wm_pid=$!
wm_ready() {
    kill -0 "$wm_pid" 2>/dev/null || fail "openbox ended: $(tail -n 5 "$tmp/openbox.log")"
    # The desktop number is a property only a window manager sets.
    xdotool get_desktop >/dev/null 2>&1
}
wait_for "the window manager to start" 30 wm_ready
note "openbox is managing the screen"

# Windows programs run with the test's language; LANGUAGE would only change Wine's own
# texts, and is dropped so that the caller's setting can't matter.
wine_env=(env -u LANGUAGE LC_ALL="$locale")
# Wine's error messages, and only those: they go to the logs kept when a test fails, and
# they tell when Wine could not use the X server.
export WINEDEBUG=${WINEDEBUG:--all,err+all}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # The first Wine run in a prefix creates it (the runner does that under a lock); the
    # probe with no box to find is the cheapest such run.
    note "creating the Wine prefix"
    timeout "$(budget 150)" "${wine_env[@]}" "$wine_run" "$probe" "$caption" >/dev/null 2>"$tmp/wineboot.log" 8>&-
    [ -f "$WINEPREFIX/system.reg" ] || fail "the Wine prefix was not created: $(tail -n 3 "$tmp/wineboot.log")"
fi

# --- The run ------------------------------------------------------------------------------

work=$tmp/work
args=()
[ "$mode" = argument ] && args=(sysmodal)
# portiq-sim.exe reads the scenario through Wine's drive Z:, in the locale's language.
[ "$mode" = found ] && args=(--show --language "$language" "Z:$scenario")

# start_portiq: PortIQ.exe in a fresh working directory laid out for the mode.
start_portiq() {
    rm -rf "$work" "$tmp/portiq.exit"
    mkdir -p "$work"
    case $mode in
        plain)
            # A log from an earlier run: Enter alone must leave it as it was.
            printf 'an earlier run\r\n*** FOUND: COM3\r\n\x00\xff' >"$work/PortIq.lst"
            cp "$work/PortIq.lst" "$tmp/earlier.lst"
            ;;
        unwritable) mkdir "$work/PortIq.lst" ;;
    esac
    note "starting $(basename "$exe") ${args[*]}, LC_ALL=$locale, mode $mode"
    # The exit code lands in a file: a finished child stays a zombie until waited for, so
    # polling for the file is the way to wait with a bound.
    (
        cd "$work" || exit 1
        "${wine_env[@]}" "$wine_run" "$exe" "${args[@]}" >"$tmp/portiq.out" 2>&1
        echo $? >"$tmp/portiq.exit"
    ) 8>&- &
    portiq_pid=$!
}

portiq_running() { [ ! -s "$tmp/portiq.exit" ]; }

# The ids of the visible windows with PortIQ's caption.
visible_boxes() { xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null; }

box=
box_shown() {
    box=$(visible_boxes | grep -vx "${1:-none}" | head -n 1)
    [ -n "$box" ] && return 0
    portiq_running || fail "PortIQ.exe ended (exit code $(cat "$tmp/portiq.exit")) without showing a box"
    return 1
}
# Wine's own words when none of its processes could use the X server: the program then
# runs without a screen and its box returns at once. That is Wine's start failing, not
# PortIQ, and the one case a run is repeated for.
wine_had_no_display() {
    grep -q 'no driver could be loaded' "$tmp/portiq.out"
}
# first_box_shown: the program's box is up; a run whose Wine found no display is started
# once more, in a new Wine server.
restarted=0
first_box_shown() {
    box=$(visible_boxes | head -n 1)
    [ -n "$box" ] && return 0
    portiq_running && return 1
    if [ "$restarted" = 0 ] && wine_had_no_display; then
        restarted=1
        note "Wine could not use the X server ($(grep -m 1 'no driver' "$tmp/portiq.out")); once more"
        cp "$tmp/portiq.out" "$tmp/portiq.first-attempt.out"
        timeout "$(budget 15)" "$wineserver" -k 2>/dev/null
        timeout "$(budget 15)" "$wineserver" -w 2>/dev/null
        start_portiq
        return 1
    fi
    fail "PortIQ.exe ended (exit code $(cat "$tmp/portiq.exit")) without showing a box"
}
box_gone() { ! visible_boxes | grep -qx "$1"; }

# probe_box NAME: what portiq_box_probe reads from the box into $tmp/NAME.probe; true once
# the box is the active window and has its text.
probe_box() {
    timeout "$(budget 30)" "${wine_env[@]}" "$wine_run" "$probe" "$caption" \
        >"$tmp/$1.probe" 2>"$tmp/$1.probe.err" 8>&- &&
        grep -qx 'foreground=1' "$tmp/$1.probe" && [ "$(sed -n '3p' "$tmp/$1.probe")" != "" ]
}

# dismiss WINDOW [MODIFIER]: Enter on the box, the modifier held until the box has gone
# (the program reads the key state once the box is closed).
dismiss() {
    timeout 20 xdotool windowfocus --sync "$1" || fail "could not focus the box"
    if [ -n "${2:-}" ]; then xdotool keydown "$2" || fail "xdotool keydown $2"; fi
    xdotool key Return || fail "xdotool key Return"
    wait_for "the box to close" 30 box_gone "$1"
    if [ -n "${2:-}" ]; then xdotool keyup "$2" || fail "xdotool keyup $2"; fi
}

# check_box NAME TEXT TOPMOST: the probe read TEXT (the whole text, or its beginning when
# NAME is the error box) and the expected stays-on-top state.
check_box() {
    local read_text
    read_text=$(sed -n '3,$p' "$tmp/$1.probe")
    if [ "$1" = error ]; then
        case $read_text in
            "$2"$'\n\n'?*) ;;
            *) fail "the second box says \"$read_text\"; expected \"$2\", a blank line and the reason" ;;
        esac
    else
        [ "$read_text" = "$2" ] || fail "the box says \"$read_text\"; expected \"$2\""
    fi
    grep -qx "topmost=$3" "$tmp/$1.probe" ||
        fail "the box's stays-on-top state is $(grep topmost= "$tmp/$1.probe"); expected topmost=$3"
    note "the box reads: $(printf '%s' "$read_text" | tr '\r\n' '  ')"
}

topmost=0
[ "$mode" = argument ] && topmost=1
modifier=
case $mode in
    shift | unwritable) modifier="shift" ;;
    ctrl) modifier="ctrl" ;;
esac

start_portiq
wait_for "the box to appear" 90 first_box_shown
first_box=$box
note "box $first_box is shown"
timeout 20 xdotool windowfocus --sync "$first_box" || fail "could not focus the box"
wait_for "the box to be active (probe)" 30 probe_box main
check_box main "$expected_box" "$topmost"
gui_last_signature=
wait_for "a settled screenshot" 20 shoot_settled "$artifacts/$tag.png" "$first_box" -frame
note "screenshot $tag.png"
dismiss "$first_box" "$modifier"
note "box dismissed${modifier:+ with $modifier held}"

if [ "$mode" = unwritable ]; then
    wait_for "the box saying the log was not saved" 30 box_shown "$first_box"
    error_box=$box
    note "second box $error_box is shown"
    timeout 20 xdotool windowfocus --sync "$error_box" || fail "could not focus the second box"
    wait_for "the second box to be active (probe)" 30 probe_box error
    check_box error "$expected_not_saved" 0
    gui_last_signature=
    wait_for "a settled screenshot" 20 shoot_settled "$artifacts/$tag-error-box.png" "$error_box" -frame
    note "screenshot $tag-error-box.png"
    dismiss "$error_box"
    note "second box dismissed"
fi

program_ended() { ! portiq_running; }
wait_for "PortIQ.exe to end" 60 program_ended
portiq_pid=
exit_code=$(cat "$tmp/portiq.exit")
note "PortIQ.exe ended with exit code $exit_code"

# --- What the run left behind -------------------------------------------------------------

[ "$exit_code" = 0 ] || fail "exit code $exit_code, expected 0"
left=$(visible_boxes)
[ -z "$left" ] || fail "a box is still shown after the program ended: $left"
! grep -qi 'unhandled' "$tmp/portiq.out" ||
    fail "Wine reported a crash: $(head -n 5 "$tmp/portiq.out")"

list=$work/PortIq.lst
case $mode in
    shift | ctrl)
        [ -f "$list" ] || fail "no PortIq.lst after the box was dismissed with $modifier held"
        [ -s "$list" ] || fail "PortIq.lst is empty"
        # Text mode: every LF has its CR, and no CR stands alone.
        lfs=$(tr -cd '\n' <"$list" | wc -c)
        crlfs=$(LC_ALL=C grep -c $'\r$' "$list")
        crs=$(tr -cd '\r' <"$list" | wc -c)
        if [ "$lfs" -eq 0 ] || [ "$lfs" != "$crlfs" ] || [ "$crs" != "$lfs" ]; then
            fail "PortIq.lst has $lfs LF, $crlfs CR LF and $crs CR: line ends are not CR LF"
        fi
        log=$(cat "$list"; echo .)
        log=${log%.}
        case $log in
            $'Sound devices:\r\n'*"$expected_log_end") ;;
            *) fail "PortIq.lst holds $(od -c "$list" | head -n 8); expected the sound list, then ${expected_log_end%$'\r\n'} + CR LF" ;;
        esac
        case $log in
            *"Host Controller"*) fail "PortIq.lst names a USB host controller, which Wine doesn't have" ;;
        esac
        note "PortIq.lst: $(wc -c <"$list") bytes, $lfs CR LF line(s), as expected"
        ;;
    plain)
        cmp -s "$tmp/earlier.lst" "$list" || fail "PortIq.lst from an earlier run was changed"
        note "the earlier PortIq.lst is unchanged"
        ;;
    argument | found)
        [ ! -e "$list" ] || fail "PortIq.lst was written though no key was held"
        note "no PortIq.lst, as expected"
        ;;
    unwritable)
        if [ ! -d "$list" ] || [ -n "$(ls -A "$list")" ]; then fail "the PortIq.lst directory was changed"; fi
        ;;
esac
note "PASSED: $tag"
