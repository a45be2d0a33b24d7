#!/usr/bin/env bash
# Installs what is missing, builds, and runs the shipped example: a simple
# and a bootstrap computation on examples/strains.txt, the distances and a
# bootstrap tree of a GenAlEx file (examples/survey.csv), then the AMOVA of
# a simulated study with regions and populations and a picture of its
# principal coordinates coloured by population. The outputs land in
# build/example/, the reports in build/example/data/lorvane/.
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
echo "AMOVA of a simulated study (2 regions, 18 populations, 187 strains, 56 bands):"
cp tests/population/golden/published.txt tests/population/golden/published.groups.csv "$work/"
XDG_DATA_HOME=$work/data build/app/lorvane-cli amova --groups "$work/published.groups.csv" --levels Region,Pop \
  --seed 2026 "$work/published.txt"
cat "$(ls -t "$work"/data/lorvane/l-Lorvane-*.txt | head -1)"
cat "$work/published.txt.amova.csv"
echo "Principal coordinates of its Jaccard distances, coloured by population:"
XDG_DATA_HOME=$work/data build/app/lorvane-cli distance --quiet --sites 6 "$work/published.txt"
XDG_DATA_HOME=$work/data build/app/lorvane-cli pcoa --quiet --axes 2 --groups "$work/published.groups.csv" \
  --color-by Pop --svg "$work/published-pcoa.svg" "$work/published.txt.matJ"
echo "Picture: $work/published-pcoa.svg"
