#!/bin/sh
# The compressor choices on one rolled file: 10 MiB of event lines as the benchmark writes them,
# compressed by our gzip over libdeflate and over zlib at levels 1, 6 and 9, by the system's gzip, and
# by the Windows build's gzip.exe under Wine when there is one (timed by itself, -T, as Wine's start-up
# varies from 0.02 to 2 s). Each runs RUNS times on a fresh copy;
# the table shows the median seconds (min-max), MB/s, the compression ratio and each speed against
# the system's gzip -6. Every archive is read back with zcat and must give the file again.
# usage: compress_compare.sh [--smoke] [--runs N] [--windows-bin DIR] BIN_DIR WORK_DIR
set -eu
runs=5
smoke=0
windows=""
while [ $# -gt 2 ]; do
  case "$1" in
    --smoke) smoke=1; runs=1; shift ;;
    --runs) runs=$2; shift 2 ;;
    --windows-bin) windows=$2; shift 2 ;;
    *) echo "usage: compress_compare.sh [--smoke] [--runs N] [--windows-bin DIR] BIN_DIR WORK_DIR" >&2; exit 2 ;;
  esac
done
. "$(dirname "$0")/common.sh"
take_folders "$1" "$2"
sample="$work/sample.log"
# Lines of 100 bytes with a CR LF: time stamp, level, thread, a numbered message, as the benchmark's.
[ -f "$sample" ] || awk 'BEGIN { srand(1); ms = 0; levels[0] = "INFO "; levels[1] = "DEBUG"; levels[2] = "WARN ";
  for (n = 0; n < 104858; n++) {
    ms += int(rand() * 4); s = int(ms / 1000)
    head = sprintf("2026-12-07 23:%02d:%02d,%03d [%s] [worker-%d] ", int(s / 60) % 60, s % 60, ms % 1000,
                   levels[int(rand() * 3)], 1 + int(rand() * 2))
    line = head sprintf("event %08d of the benchmark workload, thread payload xxxxxxxxxxxxxxxxxxxxxxx", n)
    printf "%s\r\n", substr(line, 1, 98)
  } }' > "$sample"
size=$(stat -c %s "$sample")

choices="ours-libdeflate:-1 ours-libdeflate:-6 ours-libdeflate:-9 ours-zlib:-1 ours-zlib:-6 ours-zlib:-9 system-gzip:-1 system-gzip:-6"
[ -x "$bin/gzip-zlib" ] || choices=$(echo "$choices" | tr ' ' '\n' | grep -v ours-zlib | tr '\n' ' ')
wine="$(cd "$(dirname "$0")/.." && pwd)/cmake/wine-run.sh"
if [ -n "$windows" ] && [ -f "$windows/gzip.exe" ] && { [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null; }; then
  choices="$choices windows-zlib:-1 windows-zlib:-6 windows-zlib:-9"
fi
[ "$smoke" -eq 1 ] && choices="ours-libdeflate:-1 system-gzip:-6"

program() {
  case "$1" in
    ours-libdeflate) echo "$bin/gzip" ;;
    ours-zlib) echo "$bin/gzip-zlib" ;;
    system-gzip) echo "/usr/bin/env PATH=/usr/bin:/bin gzip" ;;
    windows-zlib) echo "$wine $windows/gzip.exe" ;;
  esac
}

results="$work/times"
: > "$results"
i=0
while [ $i -lt "$runs" ]; do
  for c in $choices; do
    name=${c%%:*}
    level=${c#*:}
    rm -f "$work/run.log" "$work/run.log.gz"
    cp "$sample" "$work/run.log"
    start=$(date +%s.%N)
    case "$name" in
      windows-*) inside=$($(program "$name") -T "$level" "$work/run.log" | tr -d '\r') ;;
      *) $(program "$name") "$level" "$work/run.log" ;;
    esac
    end=$(date +%s.%N)
    if ! zcat "$work/run.log.gz" | cmp -s - "$sample"; then
      echo "compress_compare: $name $level did not give the file back" >&2
      exit 1
    fi
    seconds=$(echo "$end - $start" | bc -l)
    case "$name" in windows-*) seconds=$inside ;; esac
    echo "$c $seconds $(stat -c %s "$work/run.log.gz")" >> "$results"
  done
  i=$((i + 1))
done
[ "$smoke" -eq 1 ] && exit 0

set -- $(median system-gzip:-6)
reference=$1
echo "one file of $size bytes of event lines, medians of $runs run(s) (min-max)"
case "$choices" in *windows-*) echo "Windows rows: under Wine, the time measured inside the program (without Wine's start-up)" ;; esac
echo
echo "| compressor | level | seconds | MB/s | ratio | speed / system gzip -6 |"
echo "|---|---|---|---|---|---|"
for c in $choices; do
  packed=$(grep "^$c " "$results" | head -n 1 | awk '{print $3}')
  set -- $(median "$c")
  printf '| %s | %s | %.3f (%.3f-%.3f) | %.0f | %.1f | %.2f |\n' "${c%%:*}" "${c#*:}" "$1" "$2" "$3" \
    "$(echo "$size / $1 / 1000000" | bc -l)" "$(echo "$size / $packed" | bc -l)" "$(echo "$reference / $1" | bc -l)"
done
