#!/usr/bin/env bash
# The intro's display going away under it, each time one line of its own naming the display and exit code 1
# (a failed device) rather than Xlib's report: the window destroyed from outside (xdotool windowclose), and
# the X server killed during play.
#   display_lost_end_to_end.sh INTRO
set -uo pipefail
intro=$1
source "$(dirname "$0")/../../scripts/xvfb.sh"
log=$(mktemp)
trap 'kill "${xvfb:-}" 2>/dev/null; [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null; rm -f "$log"' EXIT

# Starts the intro on a fresh server and waits until its window is up; $1 then takes the display away, and
# the one line said must be $2 with the display's name for %s.
lose() {
    startXvfb 640x360 || exit 1
    DISPLAY=$display SDL_AUDIODRIVER=none "$intro" --window 160x90 --no-audio 2>"$log" &
    pid=$!
    for _ in $(seq 600); do DISPLAY=$display xdotool search --name Mirelandt >/dev/null 2>&1 && break; sleep 0.1; done
    sleep 2
    case $1 in
    windowclose) DISPLAY=$display xdotool search --name Mirelandt windowclose ;;
    server) kill "$xvfb" ;;
    esac
    for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && { echo "FAIL: $1: still running 60 s after"; return 1; }
    wait "$pid"
    local rc=$?
    pid=
    kill "$xvfb" 2>/dev/null
    echo "$1: exit code $rc: $(cat "$log")"
    local line
    printf -v line "$2" "$display"
    [[ $rc == 1 && $(wc -l <"$log") == 1 && $(cat "$log") == "$line" ]] || { echo "FAIL: $1"; return 1; }
}

lose windowclose "mirelandt: the display %s refused a request: BadWindow (invalid Window parameter); the window \
was closed from outside" && lose server "mirelandt: lost the display %s: its X server closed the connection"
