#!/usr/bin/env bash
# The results window on the 200-strain bootstrap example: simulated band
# patterns of 200 strains and 1,000 bands, their Dice distances (option 1),
# 100 bootstrap replicates (option 2) and the neighbor-joining tree with
# their support (option 3), all computed by lorvane-cli, then shown under
# Xvfb and taken from the screen:
#   scripts/results-screenshot.sh [build-dir] [out.png]
#   (default: build, docs/screenshots/results-window.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/screenshots/results-window.png}
[ -x "$build/app/lorvane-results-shot" ] || bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release
case $build in /*) work=$build/results-screenshot ;; *) work=$PWD/$build/results-screenshot ;; esac
rm -rf "$work" && mkdir -p "$work"
python3 scripts/makebands.py 200 1000 "$work/bands200.txt"
cli() { XDG_DATA_HOME=$work/data LORVANE_SEED=2026 "$build/app/lorvane-cli" -f "$1"; }
# 100 bootstrap replicates of the Dice table (option 2), kept aside.
printf 'bootstrap\n2\n6\n%s\n6\n\n2\n\n100\n' "$work/bands200.txt" > "$work/boot.cmd"
cli "$work/boot.cmd"
mv "$work/bands200.txt.matD" "$work/bands200.reps"
# The Dice table (option 1), then its neighbor-joining tree with the
# support of the replicates (option 3).
printf 'tree\n1\n6\n%s\n6\n\n2\n\n\n----------\n3\n4\n%s\n1\n%s\n\n' \
  "$work/bands200.txt" "$work/bands200.txt.matD" "$work/bands200.reps" > "$work/tree.cmd"
cli "$work/tree.cmd"
table=$work/bands200.txt.matD
tree=$(ls "$work"/*.nwk | grep -v -e '\.reps\.nwk$' -e '\.cons\.nwk$' | head -n 1)
echo "Table $table, tree $tree"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" \
  "$build/app/lorvane-results-shot" "$table" "$tree" "$out"
