#!/usr/bin/env bash
# Installs what is missing, checks the sources' sizes, builds, and runs every
# test: the release build
# (and its install layout and .deb, checked in a scratch root, and the
# Snakemake workflow of a run in shards);
# the libFuzzer programs, built with clang and run once over their corpora;
# then the address + undefined-behaviour sanitizer build, whose ctest summary
# closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
python3 scripts/check-size.py  # no source file over 500 lines, no function over 80
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
bash scripts/workflow-check.sh build  # the Snakemake workflow in 3 shards against the single run
bash scripts/package-check.sh build
bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DLORVANE_FUZZ=ON -DLORVANE_TESTS=OFF -DLORVANE_DESKTOP=OFF
for target in bands cmdfile matrix paramlayout tables; do
  build-fuzz/fuzz/fuzz_$target -runs=0 -rss_limit_mb=512 "$PWD/fuzz/corpus/$target"
done
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DLORVANE_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)"
