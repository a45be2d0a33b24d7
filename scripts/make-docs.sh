#!/usr/bin/env bash
# make-docs.sh [BUILD]: writes docs/lorvane-cli.1 (from docs/lorvane-cli.1.in)
# and resources/lorvane-cli.bash-completion from the options' descriptions,
# with BUILD/app/lorvane-docs (default build/). Run it after changing an
# option's description; the docs test fails until it has run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target lorvane-docs
"$build/app/lorvane-docs" manual "$root/docs/lorvane-cli.1.in" > "$root/docs/lorvane-cli.1"
"$build/app/lorvane-docs" completion > "$root/resources/lorvane-cli.bash-completion"
