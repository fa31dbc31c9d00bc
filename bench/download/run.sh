#!/usr/bin/env bash
# Download benchmark: a 200 MB file over loopback from the test server, fetched by CNetwork.SyncDownload with
# progress callbacks on the main thread (under Wine) and by curl (native) in the same run, direct (no proxy).
# Prints both medians in MB/s and their ratio; each download is compared with the original.
# Usage: bench/download/run.sh [RUNS]   (BUILD_DIR as for the build script, NO_BUILD=1 to use what is built;
# SCRATCH for the data, default /tmp/zrx-bench-download; SIZE_MB, default 200)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
runs=${1:-5}
scratch=${SCRATCH:-/tmp/zrx-bench-download}
size_mb=${SIZE_MB:-200}

[ -n "${NO_BUILD:-}" ] || "$root/scripts/build.sh" bench_download >/dev/null
exe="$BUILD_DIR/bench/download/bench_download.exe"

mkdir -p "$scratch/root/127.0.0.1/zrx/setup"
file="$scratch/root/127.0.0.1/zrx/setup/zrxsetup.zip"
size=$((size_mb * 1000 * 1000))
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
: >"$scratch/curl.rates"; : >"$scratch/zrx.rates"
for i in $(seq 1 "$runs"); do
  rm -f "$scratch"/out-*
  curl -s --noproxy '*' -o "$scratch/out-curl" -w '%{size_download} %{time_total}\n' "$url" |
    awk '{printf "%.1f\n", $1 / 1e6 / $2}' >>"$scratch/curl.rates"
  cmp -s "$file" "$scratch/out-curl" || { echo "run $i: curl's copy differs" >&2; exit 1; }
  line=$(wine "$exe" "$url" "$(winepath -w "$scratch/out-zrx")" "$size")
  echo "$line" | awk '{print $7}' >>"$scratch/zrx.rates"
  calls=$(echo "$line" | awk '{print $9}')
  cmp -s "$file" "$scratch/out-zrx" || { echo "run $i: the setup's copy differs" >&2; exit 1; }
done
c=$(median <"$scratch/curl.rates")
z=$(median <"$scratch/zrx.rates")
echo "file: $size_mb MB over loopback, runs: $runs (median; each download compared with the original)"
printf 'curl (native, to a file):                       %8.1f MB/s\n' "$c"
printf 'CNetwork.SyncDownload (Wine, %s progress calls): %8.1f MB/s\n' "$calls" "$z"
printf 'ratio SyncDownload / curl:                      %8.2f\n' "$(awk -v z="$z" -v c="$c" 'BEGIN {print z / c}')"
