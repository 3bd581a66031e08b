#!/bin/sh
# `velmora FILE` as a user starts it, under a real X server: the window comes
# up titled with the document's name and, on a first start (no settings),
# at least 800 x 550 pixels. Home and settings are scratch folders.
#
#   check_open_argument.sh VELMORA DOCUMENT
#
# Exits 77 (skipped) where Xvfb or xwininfo is missing.
set -eu
velmora=$1
document=$2
for tool in xvfb-run xauth xwininfo; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed: skipped"
        exit 77
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/work"
cp "$document" "$scratch/work/study.sp"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=xcb

# The name relative to the working folder, as typed in a terminal. The
# window is looked for by its title for up to 30 seconds (a sanitizer build
# starts slowly), then the program is ended.
cd "$scratch/work"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" sh -c '
    "$1" study.sp &
    pid=$!
    i=0
    while [ $i -lt 150 ]; do
        line=$(xwininfo -root -tree | grep "\"study.sp - Velmora\"" | head -n 1 || true)
        if [ -n "$line" ]; then
            echo "$line"
            break
        fi
        sleep 0.2
        i=$((i + 1))
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
' sh "$velmora" >"$scratch/window" || true

line=$(cat "$scratch/window")
if [ -z "$line" ]; then
    echo "no window titled \"study.sp - Velmora\" appeared"
    exit 1
fi
size=$(echo "$line" | sed -n 's/.*) *\([0-9][0-9]*\)x\([0-9][0-9]*\)[+-].*/\1 \2/p')
width=${size% *}
height=${size#* }
echo "window: $line"
if [ -z "$size" ] || [ "$width" -lt 800 ] || [ "$height" -lt 550 ]; then
    echo "the first window is ${width:-?} x ${height:-?} pixels, less than 800 x 550"
    exit 1
fi
echo "open_argument_x11: titled \"study.sp - Velmora\", $width x $height pixels"
