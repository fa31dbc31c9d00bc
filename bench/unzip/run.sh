#!/usr/bin/env bash
# Extraction benchmark: the component (under Wine) against Info-ZIP's unzip (native) on the same archive of
# about 200 MB, each run into a new folder. Prints both medians, the ratio and the peak memory.
# Usage: bench/unzip/run.sh [RUNS]   (BUILD_DIR as for the build script, NO_BUILD=1 to use what is built;
# SCRATCH for the data, default /tmp/zrx-bench-unzip)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
runs=${1:-5}
scratch=${SCRATCH:-/tmp/zrx-bench-unzip}

[ -n "${NO_BUILD:-}" ] || "$root/scripts/build.sh" bench_unzip >/dev/null
exe="$BUILD_DIR/bench/unzip/bench_unzip.exe"

mkdir -p "$scratch"
archive="$scratch/package.zip"
if [ ! -f "$archive" ]; then
  rm -rf "$scratch/tree"
  python3 "$root/bench/unzip/make_package.py" "$scratch/tree"
  (cd "$scratch/tree" && zip -q -r -X "$archive" .)
fi
echo "archive: $(du -m "$archive" | cut -f1) MB, $(unzip -Z1 "$archive" | wc -l) entries"

. "$root/scripts/wine-env.sh"
wine_env_start "$BUILD_DIR"
rm -rf "$scratch"/out-*
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {print b - a}'; }
# Peak resident memory of a native command, when GNU time is there.
peak() { if [ -x /usr/bin/time ]; then /usr/bin/time -f "%M" -o "$scratch/time.out" "$@"; else echo 0 >"$scratch/time.out"; "$@"; fi; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
: >"$scratch/unzip.times"; : >"$scratch/zrx.times"; : >"$scratch/zrx.mem"; : >"$scratch/unzip.mem"
for i in $(seq 1 "$runs"); do
  t0=$(now)
  peak unzip -q -o "$archive" -d "$scratch/out-unzip-$i"
  t1=$(now)
  elapsed "$t0" "$t1" >>"$scratch/unzip.times"
  cat "$scratch/time.out" >>"$scratch/unzip.mem"
  t0=$(now)
  line=$(wine "$exe" "$(winepath -w "$archive")" "$(winepath -w "$scratch/out-zrx-$i")")
  t1=$(now)
  elapsed "$t0" "$t1" >>"$scratch/zrx.times"
  echo "$line" | awk '{print $4, $6}' >>"$scratch/zrx.mem"
  diff -rq "$scratch/out-unzip-$i" "$scratch/out-zrx-$i" >/dev/null || { echo "run $i: outputs differ" >&2; exit 1; }
done
u=$(median <"$scratch/unzip.times")
z=$(median <"$scratch/zrx.times")
echo "runs: $runs (whole process, median; each into a new folder; outputs compared)"
printf 'Info-ZIP unzip (native):      %.3f s   peak RSS %s KB\n' "$u" "$(sort -g "$scratch/unzip.mem" | tail -1)"
printf 'TOxZip ExtractAll (Wine):     %.3f s   peak working set / private %s KB\n' "$z" \
  "$(sort -g "$scratch/zrx.mem" | tail -1 | tr ' ' '/')"
printf 'ratio TOxZip / unzip:         %.2f\n' "$(awk -v z="$z" -v u="$u" 'BEGIN {print z / u}')"
rm -rf "$scratch"/out-*
