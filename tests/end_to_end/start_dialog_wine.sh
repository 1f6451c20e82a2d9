#!/usr/bin/env bash
# The Windows intro's start-up dialog under wine, on an X screen and a wine server of its own (800x450, so
# that a window smaller than the screen can be chosen), found by its window class and driven by key presses
# through the X server:
#   Enter    the defaults start the show full screen: its window appears at the screen's size; Escape then
#            ends it with code 0;
#   Escape   quits with code 0, and no window but the dialog's ever appears;
#   Tab Down Enter             the next resolution down, full screen: the window still covers the whole
#                              screen, whose mode stays (the picture is scaled to it);
#   Tab Down Tab Space Enter   the next resolution down, windowed: the show's window has that size;
#   Tab Tab Tab Down Enter     Vulkan chosen in the renderer list: the show runs on Vulkan.
# The renderer list holds "Direct3D 11" and "Vulkan" and preselects Direct3D 11; with MIRELANDT_GPU=vulkan
# it preselects Vulkan, Enter runs on it, and Up chooses Direct3D 11. Every show started must print the
# MIRELANDT_GPU_INFO=1 line of the renderer chosen.
#   start_dialog_wine.sh MIRELANDT_EXE CLOSE_INTRO_WINDOW_EXE WINE
set -uo pipefail
intro=$1 helper=$2 wine=$3
source "$(dirname "$0")/await_exit.sh"
source "$(dirname "$0")/../../scripts/xvfb.sh"
runtime=$(mktemp -d)
log=$runtime/intro.log
cleanup() {
    wineserver -k 2>/dev/null && wineserver -w 2>/dev/null
    kill "${xvfb:-}" 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT
# A copy of the tests' prefix with its files linked and its registry copied, as wine rewrites that.
cp -al "$WINEPREFIX" "$runtime/prefix" || exit 1
for registry in "$runtime"/prefix/*.reg; do cp --remove-destination "$WINEPREFIX/${registry##*/}" "$registry"; done
export WINEPREFIX=$runtime/prefix
unset MIRELANDT_NO_DIALOG MIRELANDT_GPU MIRELANDT_VULKAN_INFO
export MIRELANDT_GPU_INFO=1
startXvfb 800x450 || exit 1
export DISPLAY=$display
wineserver -p

windows() { xdotool search --name '^Mirelandt$' 2>/dev/null | sort -u; }

# Waits up to 60 s for the dialog to be filled in (its last step checks "Vertical sync"), then prints what it
# shows; false when the intro ended first.
await_dialog() { # $1: the intro's process id
    for _ in $(seq 120); do
        local shown
        shown=$("$wine" "$helper" dialog 2>/dev/null) && [[ $shown == *"vertical sync 1"* ]] &&
            { echo "$shown"; return 0; }
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.5
    done
    return 1
}

# Waits up to 60 s for a window named Mirelandt other than the dialog's and prints its size.
await_show_window() { # $1: the dialog's X window
    for _ in $(seq 600); do
        local show
        show=$(windows | grep -vx "$1" | head -n 1)
        [[ -n $show ]] && { xdotool getwindowgeometry "$show" | awk '/Geometry/ { print $2 }'; return 0; }
        sleep 0.1
    done
    return 1
}

# Starts the intro without options, waits for its dialog and presses the keys; then checks what follows:
# the dialog's renderer list with $listed selected, and the show's window of size $want on $renderer.
drive() { # $1: what the keys mean (start, quit, windowed), then the keys
    "$wine" "$intro" 2>"$log" &
    local pid=$!
    local shown
    shown=$(await_dialog "$pid") || { echo "FAIL ($1): no dialog: $(cat "$log")"; kill -9 "$pid"; return 1; }
    echo "$shown"
    [[ $shown == *"renderer '$listed' of [Direct3D 11, Vulkan]"* ]] ||
        { echo "FAIL ($1): the renderer list should show '$listed' of Direct3D 11 and Vulkan"; kill -9 "$pid"; return 1; }
    local dialog
    dialog=$(windows)
    xdotool key --delay 200 "${@:2}"
    if [[ $1 == quit ]]; then
        local others=
        while kill -0 "$pid" 2>/dev/null; do
            others+=$(windows | grep -vx "$dialog")
            sleep 0.1
        done
        wait "$pid"
        local rc=$?
        echo "$1 (keys ${*:2}): exit code $rc, windows other than the dialog: ${others:-none}"
        [[ $rc == 0 && -z $others ]]
        return
    fi
    local size
    size=$(await_show_window "$dialog") || { echo "FAIL ($1): no show window: $(cat "$log")"; kill -9 "$pid"; return 1; }
    sleep 2
    xdotool key Escape
    await_exit "$pid" "Escape"
    local rc=$?
    local line
    line=$(grep -E '^(d3d11|vulkan|gpu):' "$log" | tr -d '\r' | tr '\n' ' ')
    echo "$1 (keys ${*:2}): the show's window $size, exit code $rc after Escape; $line"
    [[ $rc == 0 && $size == "$want" ]] && grep -q "^$renderer: " "$log"
}

listed='Direct3D 11'
want=800x450 renderer=d3d11 drive start Return &&
    drive quit Escape &&
    want=800x450 renderer=d3d11 drive scaled Tab Down Return &&
    want=640x360 renderer=d3d11 drive windowed Tab Down Tab space Return &&
    want=800x450 renderer=vulkan drive vulkan Tab Tab Tab Down Return || exit 1
export MIRELANDT_GPU=vulkan
listed=Vulkan
want=800x450 renderer=vulkan drive 'start (MIRELANDT_GPU=vulkan)' Return &&
    want=800x450 renderer=d3d11 drive 'Direct3D 11 (MIRELANDT_GPU=vulkan)' Tab Tab Tab Up Return
