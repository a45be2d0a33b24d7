#!/usr/bin/env bash
# Runs the shipped example with the desktop program under Xvfb, checks that
# it computes the same files as lorvane-cli and ends with status 0, then
# shows the report of a run in the window and saves its picture:
#   scripts/screenshot.sh [build-dir] [out.png]   (default: build, build/screenshot/lorvane.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/app/lorvane" ] || bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release
work=$PWD/$build/screenshot
out=${2:-$work/lorvane.png}
rm -rf "$work" && mkdir -p "$work/desktop" "$work/cli"
for d in desktop cli; do
  cp examples/strains.txt "$work/$d/"
  sed "s|@INPUT@|$work/$d/strains.txt|" examples/example.cmd > "$work/$d/example.cmd"
done

export QT_QPA_PLATFORM=xcb LORVANE_SEED=2026
XDG_DATA_HOME=$work/desktop/data xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/app/lorvane" -f "$work/desktop/example.cmd"
echo "lorvane -f example.cmd: exit status 0"
XDG_DATA_HOME=$work/cli/data "$build/app/lorvane-cli" -f "$work/cli/example.cmd"
for f in "$work"/cli/strains.txt.*; do
  cmp "$f" "$work/desktop/$(basename "$f")"
done
echo "Same output files as lorvane-cli: $(cd "$work/cli" && ls strains.txt.* | tr '\n' ' ')"

XDG_DATA_HOME=$work/shot/data xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/app/lorvane-screenshot" "$work/desktop/strains.txt" "$out"
