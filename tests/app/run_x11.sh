#!/bin/sh
# Runs a Qt Test program of the window under Xvfb (a 1280 x 900 screen, as a
# small desktop has), with real key and mouse events sent by xdotool. Home
# and settings are scratch folders.
#
#   run_x11.sh TEST_PROGRAM
#
# Exits 77 (skipped) where Xvfb, xauth or xdotool is missing.
set -eu
program=$1
for tool in xvfb-run xauth xdotool; do
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
xvfb-run -a -s "-screen 0 1280x900x24 -noreset" "$program"
