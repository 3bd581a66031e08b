#!/bin/sh
# Runs a Qt Test program of the window under Xvfb (a 1280 x 900 screen, as a
# small desktop has), with real key and mouse events sent by xdotool. Home
# and settings are scratch folders. With --wm openbox, the window manager
# runs beside it, as on a desktop.
#
#   run_x11.sh [--wm openbox] TEST_PROGRAM
#
# Exits 77 (skipped) where Xvfb, xauth, xdotool or the window manager is
# missing.
set -eu
wm=
if [ "$1" = --wm ]; then
    wm=$2
    shift 2
fi
program=$1
for tool in xvfb-run xauth xdotool $wm ${wm:+xprop}; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed: skipped"
        exit 77
    fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=xcb
# The sanitizer build checks for leaks; what the X11 platform's libraries
# keep until exit is not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$0")/lsan_x11.supp"
if [ -z "$wm" ]; then
    exec xvfb-run -a -s "-screen 0 1280x900x24 -noreset" "$program"
fi
export VELMORA_X11_WM="$wm"
# The manager first; the program once the manager has announced itself
# on the root window (at most 10 seconds).
xvfb-run -a -s "-screen 0 1280x900x24 -noreset" sh -c '
    wm=$1 program=$2
    "$wm" >/dev/null 2>&1 &
    manager=$!
    i=0
    while [ $i -lt 100 ] && ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
        sleep 0.1
        i=$((i + 1))
    done
    status=0
    "$program" || status=$?
    kill "$manager" 2>/dev/null || true
    exit $status
' sh "$wm" "$program"
