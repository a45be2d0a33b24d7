#!/usr/bin/env bash
# How long a 5,000-strain distance table takes to show in the results
# window, and the longest the window goes without answering meanwhile:
# simulated band patterns (5,000 strains, 1,000 bands), their Dice table
# from lorvane-cli (option 1, triangle text), then the results window under
# Xvfb, three times.
#   bench/results-open.sh [build-dir] [strains]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
n=${2:-5000}
case $build in /*) work=$build/bench-results ;; *) work=$PWD/$build/bench-results ;; esac
mkdir -p "$work"
input=$work/bands$n.txt
if [ ! -s "$input.matD" ]; then
  python3 scripts/makebands.py "$n" 1000 "$input"
  printf 'bench\n1\n6\n%s\n6\n\n2\n\n\n' "$input" > "$work/table.cmd"
  XDG_DATA_HOME=$work/data "$build/app/lorvane-cli" -f "$work/table.cmd"
fi
ls -l "$input.matD"
for run in 1 2 3; do
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" \
    "$build/app/lorvane-results-shot" "$input.matD" -
done
