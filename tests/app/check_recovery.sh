#!/bin/sh
# Recovery as a user meets it, under a real X server, with a 1-second
# autosave interval in the settings file. A: `velmora study.sp`, 4242 typed
# with real key events; once its copy exists, B starts beside it (asks
# nothing: A is alive), types and gets its own copy. A is killed (SIGKILL);
# C starts and shows "Recover Documents" with A's copy only; Return
# (Restore) opens it as "study.sp*", Ctrl+S writes it. The document is the
# original until that Save and holds 4242 after it. B undoes and quits, C
# quits: the recovery folder is empty and the next start asks nothing.
#
#   check_recovery.sh VELMORA VELMORA_CLI DOCUMENT XKEYS
#
# Exits 77 (skipped) where Xvfb, xwininfo, python3 or libXtst is missing.
set -eu
velmora=$1
cli=$2
document=$3
xkeys=$4
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
mkdir -p "$scratch/home" "$scratch/config/Orvanta" "$scratch/data" "$scratch/work"
cp "$document" "$scratch/work/study.sp"
cp "$document" "$scratch/original.sp"
printf '[autosave]\nintervalSeconds=1\n' >"$scratch/config/Orvanta/Velmora.conf"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    QT_QPA_PLATFORM=xcb
recovery="$scratch/data/Orvanta/Velmora/recovery"
cd "$scratch/work"

# Every wait lasts up to 30 seconds (a sanitizer build is slow); the steps
# reached are logged, and the first that fails ends the run.
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" sh -c '
    velmora=$1 xkeys=$2 log=$3/velmora.log recovery=$4 original=$3/original.sp pids=
    # Ids of the windows with any of these titles; a window class tells them
    # from the client leader, which has the application name.
    ids() {
        tree=$(xwininfo -root -tree)
        for title; do echo "$tree" | grep -F "\"$title\": (\"" | awk "{print \$1}"; done
    }
    shown() { [ -n "$(ids "$@")" ]; }
    copies() { ls "$recovery" 2>/dev/null | grep -c "\.sp\$" || true; }
    has_copies() { [ "$(copies)" -ge "$1" ]; }
    no_copy() { [ "$(copies)" -eq 0 ]; }
    ended() { ! kill -0 "$1" 2>/dev/null; }
    await() {
        i=0
        until "$@"; do [ $i -lt 150 ] || return 1; sleep 0.2; i=$((i + 1)); done
    }
    window() { await shown "$@" && ids "$@" | head -n 1; }
    start() { "$velmora" "$@" >>"$log" 2>&1 & pid=$!; pids="$pids $pid"; }
    fail() { echo "FAILED: $1"; kill -KILL $pids 2>/dev/null; exit 1; }
    untouched() { cmp -s "$original" study.sp || fail "study.sp was written before Save"; }

    start study.sp; a=$pid
    ida=$(window "study.sp - Velmora") || fail "A did not open study.sp"
    python3 "$xkeys" "$ida" 4 2 4 2 Return
    await shown "study.sp* - Velmora" || fail "A: the typing did not arrive"
    await has_copies 1 || fail "A wrote no recovery copy"
    untouched
    echo "A: typed, copy written"

    start; b=$pid
    idb=$(window "Velmora" "Untitled - Velmora") || fail "B did not start"
    sleep 2
    shown "Recover Documents" && fail "B offered the copy of A, which is alive"
    python3 "$xkeys" "$idb" 5 Return
    await has_copies 2 || fail "B wrote no copy of its own"
    copyb=$(ls -t "$recovery" | grep "\.sp\$" | head -n 1)
    echo "B: nothing offered, own copy written"

    kill -KILL $a
    wait $a 2>/dev/null || true
    untouched
    start; c=$pid
    idr=$(window "Recover Documents") || fail "C did not offer the copy of A"
    echo "C: Recover Documents"
    python3 "$xkeys" "$idr" Return
    idc=$(window "study.sp* - Velmora") || fail "Restore did not open study.sp modified"
    untouched
    sleep 2
    # B itself is "Untitled* - Velmora"; a second such window would be C
    # restoring the copy of B.
    [ "$(ids "Untitled* - Velmora" | wc -l)" -gt 1 ] && fail "C restored the copy of B too"
    [ -f "$recovery/$copyb" ] || fail "C deleted the live copy of B"
    python3 "$xkeys" "$idc" ctrl+s
    await shown "study.sp - Velmora" || fail "Save after Restore did not clear the mark"
    echo "C: restored and saved"

    python3 "$xkeys" "$idc" ctrl+q
    await ended $c || fail "C did not quit"
    python3 "$xkeys" "$idb" ctrl+z
    await no_copy || fail "B: undoing to the saved state left its copy"
    python3 "$xkeys" "$idb" ctrl+q
    await ended $b || fail "B did not quit"
    [ -z "$(ls -A "$recovery")" ] || fail "left in the recovery folder: $(ls -A "$recovery")"
    echo "clean quits: recovery folder empty"

    start; d=$pid
    idd=$(window "Velmora" "Untitled - Velmora") || fail "D did not start"
    sleep 2
    shown "Recover Documents" && fail "D asked after clean quits"
    python3 "$xkeys" "$idd" ctrl+q
    await ended $d || fail "D did not quit"
    echo "next start: nothing asked"
' sh "$velmora" "$xkeys" "$scratch" "$recovery" >"$scratch/steps" || true

cat "$scratch/steps"
if ! grep -q '^next start' "$scratch/steps"; then
    echo "the steps did not all happen (velmora's output follows)"
    cat "$scratch/velmora.log" || true
    exit 1
fi
if ! QT_QPA_PLATFORM=offscreen "$cli" values study.sp | grep -q '4242'; then
    echo "the saved document does not hold the typed 4242"
    exit 1
fi
echo "recovery_x11: killed, restored, saved; clean quits leave nothing and the next start asks nothing"
