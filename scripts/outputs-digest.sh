#!/usr/bin/env bash
# outputs-digest.sh BUILD WORK: runs every option (1 to 7) of the programs in
# BUILD/app on the example and test inputs, through the verbs, command files
# and the desktop program, in a fresh folder WORK; prints one line per output
# file, report, standard error and exit status with its SHA-256. Two builds
# whose digests agree write the same files byte for byte:
#
#   scripts/outputs-digest.sh build-before /tmp/a > a.txt
#   scripts/outputs-digest.sh build /tmp/b > b.txt && diff a.txt b.txt
#
# The clock's parts of the reports (banner times, report names) and the
# folder WORK are masked in the reports, standard output and error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
work=$2
cli=$build/app/lorvane-cli
desktop=$build/app/lorvane
rm -rf "$work" && mkdir -p "$work/in"
cd "$work/in"
cp "$root/examples/strains.txt" "$root/tests/golden/bands.txt" "$root/tests/data/ordination/"*.txt .
cp "$root/tests/data/trees/"*.matD "$root/tests/data/trees/"*.reps .
for t in plane9 bands9; do (echo 9; cat $t.txt) > $t.phy; rm $t.txt; done  # square tables
python3 "$root/scripts/makebands.py" 120 700 sim.txt --seed 5
python3 "$root/scripts/makebands.py" 9 33000 wide.txt --seed 6
export LORVANE_SEED=2026 XDG_DATA_HOME=$work/xdg QT_QPA_PLATFORM=offscreen
unset LORVANE_THREADS LORVANE_KERNEL

n=0
# run NAME CMD...: one run in a folder of its own holding copies of the inputs.
run() {
  local name=$1; shift
  n=$((n + 1))
  local dir=$work/runs/$(printf '%03d' $n)-$name
  mkdir -p "$dir" && cp -p "$work/in/"* "$dir/"
  for c in "$dir"/*.cmd; do [ -e "$c" ] && sed -i "s|@DIR@|$dir|g" "$c"; done
  local status=0
  (cd "$dir" && XDG_DATA_HOME=$dir/xdg "$@" >"$dir/stdout" 2>"$dir/stderr") || status=$?
  echo "$status" >"$dir/status"
}

for threads in 1 2; do
  t="--threads $threads"
  for f in strains.txt bands.txt sim.txt; do
    run dist-j-$f-$threads "$cli" distance --sites 6 $t $f
    run dist-dj-$f-$threads "$cli" distance --index dice --sites 4 --k 0.3 --jc $t $f
    run dist-nl-$f-$threads "$cli" distance --index neili --sites 6 --k 0.7 $t $f
    run dist-bin-$f-$threads "$cli" distance --index dice --sites 2 --jc --binary $t $f
    run boot-j-$f-$threads "$cli" bootstrap --sites 6 --replicates 12 --seed 9 $t $f
    run boot-d-$f-$threads "$cli" bootstrap --index dice --sites 6 --k 0.5 --replicates 12 --seed 9 $t $f
    run btree-$f-$threads "$cli" bootstrap-tree --index dice --sites 6 --jc --replicates 30 --seed 4 --svg p.svg $t $f
    run btree-u-$f-$threads "$cli" bootstrap-tree --index neili --sites 6 --method upgma --replicates 30 --seed 4 $t $f
  done
  run boot-wide-$threads "$cli" bootstrap --sites 6 --replicates 3 --seed 11 $t wide.txt
  run btree-wide-$threads "$cli" bootstrap-tree --sites 6 --replicates 5 --seed 11 $t wide.txt
  for f in integers.matD strains50.matD ties.matD zero.matD negative.matD plane9.phy; do
    run tree-$f-$threads "$cli" tree --svg p.svg $t $f
    run tree-u-$f-$threads "$cli" tree --method upgma $t $f
    run conv-$f-$threads "$cli" convert $t $f
    run conv-l-$f-$threads "$cli" convert --format phylip-lower $t $f
    run conv-c-$f-$threads "$cli" convert --format csv $t $f
    run pcoa-$f-$threads "$cli" pcoa --svg p.svg $t $f
    run pcoa-c-$f-$threads "$cli" pcoa --axes 2 --correction cailliez $t $f
    run pcoa-l-$f-$threads "$cli" pcoa --correction lingoes $t $f
  done
  run tree-sup-$threads "$cli" tree --support strains50.matD.reps --consensus $t strains50.matD
  run tree-sup2-$threads "$cli" tree --method upgma --support integers.matD.reps $t integers.matD
  run mantel-$threads "$cli" mantel --permutations 199 --seed 3 $t plane9.phy bands9.phy
  run mantel-s-$threads "$cli" mantel --method spearman --permutations 99 $t strains50.matD strains50.matD
done

# Command files: every option, answers as a dialog would leave them, and
# answers that only the command files can give.
cat >"$work/in/all.cmd" <<'EOF'
all
1
6
@DIR@/strains.txt
6
0.25
2
1
0
----------
1
6
@DIR@/bands.txt
3

3x

1
----------
1
6
@DIR@/bands.txt
3

4


----------
2
6
@DIR@/sim.txt
5

1
0
7
----------
3
4
@DIR@/strains50.matD
2
@DIR@/strains50.matD.reps
1
----------
4
7
@DIR@/strains.txt
6
0.5
3
0
20
1
----------
4
7
@DIR@/sim.txt
6

2
1
15
2
----------
5
2
@DIR@/integers.matD
3
----------
6
3
@DIR@/plane9.phy

1
----------
7
4
@DIR@/plane9.phy
@DIR@/bands9.phy
49
2
----------
2
6
@DIR@/strains.txt
6
1e300
2
1
5
EOF
# The desktop program shows an error box for a failed run: its file leaves
# out the block that fails (K of 1e300).
awk 'BEGIN { RS = "----------\n"; ORS = RS } NF && !/1e300/' "$work/in/all.cmd" | sed '$ d' >"$work/in/good.cmd"
for threads in 1 2; do
  run cmd-cli-$threads env LORVANE_THREADS=$threads "$cli" all.cmd
  if [ -x "$desktop" ]; then
    run cmd-desktop-$threads env LORVANE_THREADS=$threads timeout 60 "$desktop" -f good.cmd
  fi
done
cp "$root/examples/example.cmd" "$work/in/ex.cmd"
sed -i 's|@INPUT@|@DIR@/strains.txt|' "$work/in/ex.cmd"
run example-cmd "$cli" ex.cmd

# The digests: the inputs' copies are left out, the reports' clock masked.
cd "$work/runs"
for dir in */; do
  dir=${dir%/}
  find "$dir" -type f | sort | while read -r f; do
    base=$(basename "$f")
    [ -e "$work/in/$base" ] && cmp -s "$f" "$work/in/$base" && continue
    case "$base" in *.cmd) continue;; esac
    case "$f" in
      */xdg/*|*/stdout|*/stderr)
        name=$(echo "${f#"$dir"/}" | sed -E 's/[0-9]{2}-[0-9]{2}-[0-9]{2}/HH-MM-SS/')
        sum=$(sed -E "s|$work|WORK|g; s/[0-9]{2}:[0-9]{2}:[0-9]{2}/HH:MM:SS/g; s/[0-9]{2}-[0-9]{2}-[0-9]{2}/HH-MM-SS/g;
                      s|[0-9]{2}/[0-9]{2}/[0-9]{2}  [0-9]{2}/[0-9]{2}|DD/MM/YY  HH/MM|g" "$f" | sha256sum | cut -c1-16)
        echo "$dir/$name $sum";;
      *) echo "${f} $(sha256sum <"$f" | cut -c1-16)";;
    esac
  done
done
