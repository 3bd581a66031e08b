#!/usr/bin/env bash
# Installs what is missing, builds the release build and starts Velmora.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF
cmake --build build/release --parallel "$(nproc)"
exec ./build/release/app/velmora "$@"
