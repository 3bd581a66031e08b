#!/bin/sh
# velmora-cli's front: a genotype run needs Qt Core alone (no Gui, Widgets
# or Svg, and not the full tool's module); anything else loads the module,
# and a front without it says so and fails.
set -u
cli=$1 fixture=$2
fail() { echo "FAIL: $*"; exit 1; }
if readelf -d "$cli" | grep -E 'NEEDED.*libQt6(Gui|Widgets|Svg)'; then
    fail "the front links Qt Gui, Widgets or Svg"
fi
alone=$(mktemp -d) || exit 1
trap 'rm -rf "$alone"' EXIT
cp "$cli" "$alone/velmora-cli"
expected=$("$cli" hwe "$fixture") || fail "hwe on the fixture failed"
[ "$("$alone/velmora-cli" hwe "$fixture")" = "$expected" ] || fail "a genotype run needs the module"
printf '10\t20\n30\t40\n' | "$cli" chi2 - | grep -q '"p":0.37299848361348714' || fail "a table run through the module"
printf '10\t20\n30\t40\n' | "$alone/velmora-cli" chi2 - > "$alone/out" 2> "$alone/err"
status=$?
[ "$status" = 1 ] || fail "exit status $status without the module"
[ ! -s "$alone/out" ] || fail "output without the module"
grep -q 'cannot find velmora-cli-full.so' "$alone/err" || fail "no message without the module: $(cat "$alone/err")"
echo PASS
