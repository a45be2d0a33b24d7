#!/usr/bin/env bash
# Installs what is missing, builds, and runs the shipped example: a simple
# and a bootstrap computation on examples/strains.txt, then the distances and
# a bootstrap tree of a GenAlEx file (examples/survey.csv). The outputs land in
# build/example/, the report in build/example/data/lorvane/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
work=$PWD/build/example
rm -rf "$work" && mkdir -p "$work"
cp examples/strains.txt "$work/"
sed "s|@INPUT@|$work/strains.txt|" examples/example.cmd > "$work/example.cmd"
XDG_DATA_HOME=$work/data LORVANE_SEED=2026 build/app/lorvane-cli -f "$work/example.cmd"
echo "Outputs:"; ls -l "$work"
echo "Report:"; cat "$work"/data/lorvane/l-example-*.txt
echo "Jaccard distances:"; cat "$work/strains.txt.matJ"
echo "A GenAlEx file with long names, two populations and missing scores: Dice distances, then a bootstrap tree"
echo "coloured by population in $work/survey.svg:"
cp examples/survey.csv "$work/"
XDG_DATA_HOME=$work/data build/app/lorvane-cli distance --index dice --sites 6 --quiet "$work/survey.csv"
cat "$work/survey.csv.matD"
XDG_DATA_HOME=$work/data build/app/lorvane-cli bootstrap-tree --index dice --sites 6 --replicates 100 --seed 2026 \
  --quiet --svg "$work/survey.svg" "$work/survey.csv"
cat "$work/survey.csv.nwk"
