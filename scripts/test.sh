#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the release build,
# then the address + undefined-behaviour sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DLORVANE_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)"
