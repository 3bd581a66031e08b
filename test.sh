#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer,
# UndefinedBehaviorSanitizer, -Werror) and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_TESTS=ON
cmake --build build/test --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build/test
ctest --output-on-failure --parallel "$(nproc)" "$@"
