#!/usr/bin/env bash
# End-to-end test of PortIQ.exe: runs the real program under Wine on a private X server
# with a small window manager (so that boxes get their caption), finds its message box,
# photographs it, reads its text, dismisses it the way a user would (Enter, with or without
# Shift or Ctrl held) and checks what the program left behind.
#
# usage: portiq_gui_test.sh PORTIQ_EXE BOX_PROBE_EXE LOCALE MODE ARTIFACTS_DIR [SCENARIO]
#   PORTIQ_EXE     the program under test: PortIQ.exe, or portiq-sim.exe in mode found
#   BOX_PROBE_EXE  portiq_box_probe.exe, which reads a box's text from inside Wine
#   LOCALE         the LC_ALL the program runs under: ru_RU.UTF-8, uk_UA.UTF-8, en_US.UTF-8,
#                  hi_IN.UTF-8 (English texts in the ANSI code page UTF-8)
#   MODE           found       portiq-sim.exe --show on SCENARIO (the bundled default
#                              machine): the real box with the boxes PortIQ found, in the
#                              locale's language; dismissed with Enter alone
#                  shift       Enter with Shift held: PortIq.lst is written, CR LF line ends
#                  ctrl        the same with Ctrl held
#                  plain       Enter alone: a PortIq.lst already there is left as it was
#                  unwritable  PortIq.lst is a directory, here and on the Desktop: Shift+Enter
#                              brings a second box that says the log could not be saved
#                  argument    started with an argument: a system-modal box, no log
#                  diagnosis   as found, on SCENARIO with COM6 disabled (problem code 22):
#                              the box names the problem and its remedy under COM6
#                              (Russian only)
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
gui_total=${PORTIQ_GUI_TIMEOUT:-200}
. "$script_dir/../../../scripts/gui-lib.sh"

if [ $# -lt 5 ] || [ $# -gt 6 ]; then gui_usage; fi
exe=$(gui_absolute "$1") || exit 2
probe=$(gui_absolute "$2") || exit 2
locale=$3 mode=$4 artifacts=$5 scenario=${6:-}
case $mode in
    shift | ctrl | plain | unwritable | argument) ;;
    found | diagnosis) [ -f "$scenario" ] || { echo "mode $mode needs a scenario file" >&2; exit 2; } ;;
    *) echo "unknown mode: $mode" >&2; exit 2 ;;
esac
mkdir -p "$artifacts" && artifacts=$(cd "$artifacts" && pwd) || exit 2
wine_run=${PORTIQ_WINE_RUN:-$script_dir/../../../scripts/wine-run.sh}
gui_require openbox "$wine_run"
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
        expected_not_saved='Не удалось сохранить диагностический журнал в файл PortIq.lst ни в папке Z:' ;;
    uk* )
        language=1058
        expected_box='Не підключений інтерфейс або не встановлений драйвер.'
        expected_found="Знайдено інтерфейс №1"$'\nAudio'"$boxes""Знайдено інтерфейс №2$boxes2"$'Знайдено FTDI порти:\tCOM3\n\nПри необхідності робіть зміни\nу Диспетчері Пристроїв.'
        expected_not_saved='Не вдалося зберегти діагностичний журнал у файл PortIq.lst ні в теці Z:' ;;
    * )
        language=1033
        expected_box='Tavrilink device not found or drivers not installed.'
        expected_found=$'Found device #1\nAudio'"$boxes"$'Found device #2'"$boxes2"$'FTDI ports found:\tCOM3\n\nGo to Device Manager to make\nchanges, if needed.'
        expected_not_saved='The diagnostic log could not be saved to PortIq.lst, either in Z:' ;;
esac
[ "$mode" = found ] && expected_box=$expected_found
if [ "$mode" = diagnosis ]; then
    [ "$language" = 1049 ] || { echo "mode diagnosis checks the Russian box" >&2; exit 2; }
    disabled=$'COM6\tTavrilink Nova PTT/CW port\n!\tCOM6: отключён. Включите его в Диспетчере Устройств.\n'
    expected_box=${expected_found/$'COM6\tTavrilink Nova PTT/CW port\n'/$disabled}
fi
# Wine has no device tree for PortIQ to walk and no USB host controller, so the log is
# the sound list (whatever wave-input devices Wine offers) and then this one line.
expected_log_end=$' *** ERROR *** Device tree root not located. ErrorCode = 19\r\n'
caption=PortIQ

tag=portiq-$(printf '%s' "$locale" | tr -c 'A-Za-z0-9._-' '_')-$mode
gui_begin portiq-gui "$tag" "$artifacts"
tmp=$gui_tmp
rm -f "$artifacts/$tag.png" "$artifacts/$tag-error-box.png"
gui_wine_prefix "$exe" portiq-gui "${PORTIQ_GUI_WINEPREFIX:-}"
gui_start_xvfb
gui_start_wm
# Windows programs run with the test's language; LANGUAGE would only change Wine's own
# texts, and is dropped so that the caller's setting can't matter.
wine_env=(env -u LANGUAGE LC_ALL="$locale")
# The probe with no box to find is the cheapest run to create the prefix with.
gui_create_prefix "${wine_env[@]}" "$wine_run" "$probe" "$caption"

# --- The run ------------------------------------------------------------------------------

work=$tmp/work
args=()
[ "$mode" = argument ] && args=(sysmodal)
# portiq-sim.exe reads the scenario through Wine's drive Z:, in the locale's language.
[ "$mode" = found ] && args=(--show --language "$language" "Z:$scenario")
if [ "$mode" = diagnosis ]; then
    sed '/(COM6)/s/$/ problem=22/' "$scenario" >"$tmp/diagnosis.scn" || fail "could not write the scenario"
    args=(--show --language "$language" "Z:$tmp/diagnosis.scn")
fi

# start_portiq: PortIQ.exe in a fresh working directory laid out for the mode.
start_portiq() {
    rm -rf "$work"
    mkdir -p "$work"
    case $mode in
        plain)
            # A log from an earlier run: Enter alone must leave it as it was.
            printf 'an earlier run\r\n*** FOUND: COM3\r\n\x00\xff' >"$work/PortIq.lst"
            cp "$work/PortIq.lst" "$tmp/earlier.lst"
            ;;
        unwritable)
            # Where the current folder can't take the log the Desktop does: neither can here.
            mkdir "$work/PortIq.lst"
            desktop_list="$WINEPREFIX/drive_c/users/$(id -un)/Desktop/PortIq.lst"
            rm -rf "$desktop_list" && mkdir -p "$desktop_list"
            ;;
    esac
    note "starting $(basename "$exe") ${args[*]}, LC_ALL=$locale, mode $mode"
    gui_run_program "$work" "${wine_env[@]}" "$wine_run" "$exe" "${args[@]}"
}

# The ids of the visible windows with PortIQ's caption.
visible_boxes() { xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null; }

box=
box_shown() {
    box=$(visible_boxes | grep -vx "${1:-none}" | head -n 1)
    [ -n "$box" ] && return 0
    gui_program_running || fail "PortIQ.exe ended (exit code $(gui_exit_code)) without showing a box"
    return 1
}
# Wine's own words when none of its processes could use the X server: the program then
# runs without a screen and its box returns at once. That is Wine's start failing, not
# PortIQ, and the one case a run is repeated for.
wine_had_no_display() {
    grep -q 'no driver could be loaded' "$tmp/program.out"
}
# first_box_shown: the program's box is up; a run whose Wine found no display is started
# once more, in a new Wine server.
restarted=0
first_box_shown() {
    box=$(visible_boxes | head -n 1)
    [ -n "$box" ] && return 0
    gui_program_running && return 1
    if [ "$restarted" = 0 ] && wine_had_no_display; then
        restarted=1
        note "Wine could not use the X server ($(grep -m 1 'no driver' "$tmp/program.out")); once more"
        cp "$tmp/program.out" "$tmp/portiq.first-attempt.out"
        gui_end_wineserver
        start_portiq
        return 1
    fi
    fail "PortIQ.exe ended (exit code $(gui_exit_code)) without showing a box"
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
            "$2"*$'\n\n'?*) ;;
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
gui_screenshot "$artifacts/$tag.png" "$first_box" -frame
dismiss "$first_box" "$modifier"
note "box dismissed${modifier:+ with $modifier held}"

if [ "$mode" = unwritable ]; then
    wait_for "the box saying the log was not saved" 30 box_shown "$first_box"
    error_box=$box
    note "second box $error_box is shown"
    timeout 20 xdotool windowfocus --sync "$error_box" || fail "could not focus the second box"
    wait_for "the second box to be active (probe)" 30 probe_box error
    check_box error "$expected_not_saved" 0
    gui_screenshot "$artifacts/$tag-error-box.png" "$error_box" -frame
    dismiss "$error_box"
    note "second box dismissed"
fi

wait_for "PortIQ.exe to end" 60 gui_program_ended
note "PortIQ.exe ended with exit code $(gui_exit_code)"

# --- What the run left behind -------------------------------------------------------------

gui_check_ended_well
left=$(visible_boxes)
[ -z "$left" ] || fail "a box is still shown after the program ended: $left"

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
    argument | found | diagnosis)
        [ ! -e "$list" ] || fail "PortIq.lst was written though no key was held"
        note "no PortIq.lst, as expected"
        ;;
    unwritable)
        if [ ! -d "$list" ] || [ -n "$(ls -A "$list")" ]; then fail "the PortIq.lst directory was changed"; fi
        rmdir "$desktop_list"
        ;;
esac
note "PASSED: $tag"
