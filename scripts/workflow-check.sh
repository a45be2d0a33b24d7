#!/usr/bin/env bash
# workflow-check.sh [BUILD]: runs workflows/Snakefile locally (--cores 2) on
# a small example, a bootstrap tree in 3 shards, and compares the files it
# merged with those of the same run on one machine (BUILD: default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$(cd "${1:-$root/build}" && pwd)/app/lorvane-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_DATA_HOME=$work/xdg
python3 "$root/scripts/makebands.py" 40 300 strains.txt --seed 7
args="--index dice --jc --sites 6 --replicates 60"
mkdir single && cp strains.txt single/
"$cli" bootstrap-tree $args --seed 11 --quiet single/strains.txt
cat >config.yaml <<END
cli: $cli
verb: bootstrap-tree
inputs: [strains.txt]
args: "$args"
seed: 11
shards: 3
outdir: results
END
snakemake --cores 2 --snakefile "$root/workflows/Snakefile" --configfile config.yaml >log 2>&1 || { cat log; exit 1; }
for e in nwk cons.nwk reps.nwk; do cmp single/strains.txt.$e results/strains.txt.$e; done
echo "workflow: the 3 shards merged are the files of the run on one machine"
