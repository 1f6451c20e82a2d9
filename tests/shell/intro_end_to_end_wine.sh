#!/usr/bin/env bash
# The Windows intro under wine, on the X display and the sound server named in the environment (as
# tools/windows-tests.sh sets them up): it plays a few seconds, is ended once by Escape through the X
# server and once by WM_CLOSE sent to its window, and exits with code 0 each time. Without a Vulkan driver
# it says why in one line and exits with code 1.
#   intro_end_to_end_wine.sh MIRELANDT_EXE CLOSE_INTRO_WINDOW_EXE WINE
set -uo pipefail
intro=$1 closer=$2 wine=$3
source "$(dirname "$0")/await_exit.sh"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

run() { # $1: how to end it (escape or close)
    "$wine" "$intro" 2>"$log" &
    local pid=$!
    local shown=no
    for _ in $(seq 600); do
        xdotool search --name '^Mirelandt$' >/dev/null 2>&1 && { shown=yes; break; }
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    # Frames presented in the window's first moments may be lost: let it play a while.
    sleep 4
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "FAIL: the intro ended by itself (exit $?, window shown: $shown) before it was asked to: $(cat "$log")"
        return 1
    fi
    case $1 in
    escape) xdotool key Escape ;;
    close) "$wine" "$closer" || { echo "FAIL: no window to close"; kill -9 "$pid"; return 1; } ;;
    esac
    await_exit "$pid" "$1"
    local rc=$?
    echo "$1: exit code $rc, window shown: $shown"
    [[ $rc == 0 && $shown == yes ]]
}

no_vulkan() {
    VK_DRIVER_FILES=/nonexistent VK_ICD_FILENAMES=/nonexistent MIRELANDT_NO_DIALOG=1 "$wine" "$intro" 2>"$log"
    local rc=$?
    local lines
    lines=$(grep -c . "$log")
    echo "no Vulkan driver: exit code $rc, stderr: $(cat "$log")"
    [[ $rc == 1 && $lines == 1 ]] && grep -q '^mirelandt: .*Vulkan' "$log"
}

run escape && run close && no_vulkan
