#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configure and build into DIR.
set -euo pipefail
dir=$1; shift
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja "$@"
cmake --build "$dir" --parallel "$(nproc)"
