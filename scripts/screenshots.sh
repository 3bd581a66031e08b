#!/usr/bin/env bash
# Regenerates the example documents (examples/*.sp) and the README's
# pictures (docs/images/*.png) from the real application, headless.
#
#   scripts/screenshots.sh [BUILD_DIR]     (default: build/release)
#
# The pictures are taken in DejaVu Sans (package fonts-dejavu-core), so that
# they match on every machine that has it.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"

# The two generators are defined with the tests.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=ON
elif ! grep -q '^VELMORA_BUILD_TESTS:BOOL=ON' "$build/CMakeCache.txt"; then
    cmake -S "$root" -B "$build" -DVELMORA_BUILD_TESTS=ON
fi
cmake --build "$build" --target velmora_make_examples velmora_screenshots -j2

export QT_QPA_PLATFORM=offscreen
# Examples first: the pictures show them.
"$build/examples/velmora_make_examples" "$root/examples"
"$build/docs/velmora_screenshots" "$root/docs/images" "$root/examples"
