#!/bin/sh
# Undo as a user meets it, under a real X server: `velmora study.sp`, a count
# typed into the current cell with the keyboard (the title gains its
# modified mark), Ctrl+Z (the mark goes), Ctrl+S: the file is written anew
# and is the original byte for byte. Home and settings are scratch folders.
#
#   check_undo_save.sh VELMORA DOCUMENT XKEYS
#
# Exits 77 (skipped) where Xvfb, xwininfo, python3 or libXtst is missing.
set -eu
velmora=$1
document=$2
xkeys=$3
for tool in xvfb-run xauth xwininfo python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed: skipped"
        exit 77
    fi
done
python3 -c 'import ctypes, ctypes.util; ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")' \
    >/dev/null 2>&1 || { echo "libXtst is not installed: skipped"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/work"
cp "$document" "$scratch/work/study.sp"
cp "$document" "$scratch/original.sp"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=xcb
cd "$scratch/work"
before=$(ls -i study.sp | cut -d' ' -f1)

# Each step waits for the title that shows it arrived, for up to 30 seconds
# (a sanitizer build is slow); the steps taken are logged for the report.
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" sh -c '
    velmora=$1 xkeys=$2
    "$velmora" study.sp >"$3/velmora.log" 2>&1 &
    pid=$!
    # Prints the id of the window titled $1, waiting for it.
    window() {
        i=0
        while [ $i -lt 150 ]; do
            id=$(xwininfo -root -tree | grep -F "\"$1\"" | head -n 1 | awk "{print \$1}")
            if [ -n "$id" ]; then
                echo "$id"
                return 0
            fi
            sleep 0.2
            i=$((i + 1))
        done
        return 1
    }
    step() {
        echo "$1"
    }
    if id=$(window "study.sp - Velmora"); then
        step "opened: $id"
        python3 "$xkeys" "$id" 7 Return
        if window "study.sp* - Velmora" >/dev/null; then
            step "typed: modified"
            python3 "$xkeys" "$id" ctrl+z
            if window "study.sp - Velmora" >/dev/null; then
                step "undone: clean"
                python3 "$xkeys" "$id" ctrl+s
                sleep 2
                step "saved"
            fi
        fi
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
' sh "$velmora" "$xkeys" "$scratch" >"$scratch/steps" || true

cat "$scratch/steps"
if ! grep -q '^saved' "$scratch/steps"; then
    echo "the steps did not all happen (velmora's output follows)"
    cat "$scratch/velmora.log" || true
    exit 1
fi
after=$(ls -i study.sp | cut -d' ' -f1)
if [ "$before" = "$after" ]; then
    echo "Ctrl+S did not write the file"
    exit 1
fi
if ! cmp "$scratch/original.sp" study.sp; then
    echo "the saved file differs from the original"
    exit 1
fi
echo "undo_save_x11: typed, undone and saved; the file is the original byte for byte"
