#!/usr/bin/env bash
# Download benchmark: a 500 MiB file over loopback from the test server, fetched by CNetwork.SyncDownload with
# progress callbacks on the main thread (under Wine) and by `curl -o file` (native) in turn in the same run,
# direct (no proxy). Prints both median transfer times, the ratio setup / curl, and the setup's progress
# calls; each download is compared with the original byte for byte. The setup's time is the transfer's, taken
# inside the process (as curl's is); the whole Wine process's time is printed beside it.
# Usage: bench/download/run.sh [RUNS]   (BUILD_DIR as for the build script, NO_BUILD=1 to use what is built;
# SCRATCH for the data, default /tmp/zrx-bench-download; SIZE_MIB, default 500)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
runs=${1:-5}
scratch=${SCRATCH:-/tmp/zrx-bench-download}
size_mib=${SIZE_MIB:-500}

[ -n "${NO_BUILD:-}" ] || "$root/scripts/build.sh" bench_download >/dev/null
exe="$BUILD_DIR/bench/download/bench_download.exe"

mkdir -p "$scratch/root/127.0.0.1/zrx/setup"
file="$scratch/root/127.0.0.1/zrx/setup/zrxsetup.zip"
size=$((size_mib * 1024 * 1024))
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" != "$size" ]; then
  head -c "$size" /dev/urandom >"$file"
fi

server="$root/tests/server/zrx_test_server.py"
python3 "$server" --detach --root "$scratch/root" --log "$scratch/server.log" --port-file "$scratch/server.port" \
  --idle 120 --lifetime 3600 >/dev/null
trap 'python3 "$server" --stop --port-file "$scratch/server.port"; rm -f "$scratch"/out-*' EXIT
url="http://127.0.0.1:$(cat "$scratch/server.port")/zrx/setup/zrxsetup.zip"

. "$root/scripts/wine-env.sh"
wine_env_start "$BUILD_DIR"
trap 'python3 "$server" --stop --port-file "$scratch/server.port"; rm -f "$scratch"/out-*; wine_env_stop' EXIT
# The setup's transfers follow the prefix's proxy setting: make it direct, as curl is.
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v ProxyEnable /t REG_DWORD /d 0 /f \
  >/dev/null 2>&1

median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
: >"$scratch/curl.times"; : >"$scratch/zrx.times"; : >"$scratch/zrx.process"
for i in $(seq 1 "$runs"); do
  rm -f "$scratch"/out-*
  curl -s --noproxy '*' -o "$scratch/out-curl" -w '%{size_download} %{time_total}\n' "$url" |
    awk '{print $2}' >>"$scratch/curl.times"
  cmp -s "$file" "$scratch/out-curl" || { echo "run $i: curl's copy differs" >&2; exit 1; }
  t0=$(date +%s.%N)
  line=$(wine "$exe" "$url" "$(winepath -w "$scratch/out-zrx")" "$size")
  awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN {print b - a}' >>"$scratch/zrx.process"
  echo "$line" | awk '{print $4}' >>"$scratch/zrx.times"
  calls=$(echo "$line" | awk '{print $9}')
  cmp -s "$file" "$scratch/out-zrx" || { echo "run $i: the setup's copy differs" >&2; exit 1; }
done
c=$(median <"$scratch/curl.times")
z=$(median <"$scratch/zrx.times")
rate() { awk -v s="$size" -v t="$1" 'BEGIN {printf "%.0f", s / 1e6 / t}'; }
echo "file: $size_mib MiB over loopback, runs: $runs (median; each download compared with the original)"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'curl -o file (native):                          %6.3f s  %5s MB/s\n' "$c" "$(rate "$c")"
printf 'CNetwork.SyncDownload (Wine, %5s progress calls): %6.3f s  %5s MB/s\n' "$calls" "$z" "$(rate "$z")"
printf '  the whole Wine process, start to exit:          %6.3f s\n' "$(median <"$scratch/zrx.process")"
printf 'ratio SyncDownload / curl (time):               %6.2f\n' "$(awk -v z="$z" -v c="$c" 'BEGIN {print z / c}')"
