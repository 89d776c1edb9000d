#!/bin/sh
# Whole processes on the same input: quorlin-run reading standard input into a rolling file (10 MB,
# a window of 5, gzip), against spdlog_stdin (spdlog's rotating sink, 10 MB, 5 files, no compression),
# multilog (s10485760 n5) and rotatelogs (-n 5, 10M) on the same file.
# Each tool runs RUNS times, in turn; the table shows the medians (min-max) and each ratio to
# quorlin-run. quorlin-run's time includes waiting for its last compression.
# usage: stdin_compare.sh [--smoke] [--lines N] [--runs N] BIN_DIR WORK_DIR
set -eu
lines=2000000
runs=3
smoke=0
while [ $# -gt 2 ]; do
  case "$1" in
    --smoke) smoke=1; lines=2000; runs=1; shift ;;
    --lines) lines=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "usage: stdin_compare.sh [--smoke] [--lines N] [--runs N] BIN_DIR WORK_DIR" >&2; exit 2 ;;
  esac
done
. "$(dirname "$0")/common.sh"
take_folders "$1" "$2"
input="$work/input-$lines.txt"
# Lines of exactly 100 bytes with their line end: a sequence number, then padding.
[ -f "$input" ] || awk -v n="$lines" 'BEGIN { pad = sprintf("%90s", ""); gsub(/ /, "x", pad);
  for (i = 1; i <= n; i++) print substr(sprintf("line %09d %s", i, pad), 1, 99) }' > "$input"
last=$(tail -n 1 "$input")

cat > "$work/rolling.conf" <<CONF
[appender roll]
type = Appender.RollingFile
layout = %m
fileName/value = $work/q/app.log
fileNamePattern/value = $work/q/app.{RollingIndex}.log
appendToFile/value = false
triggeringPolicy/maxFileSize/value = 10MB
rollingPolicy/maxIndex/value = 5
[root]
appender-ref = roll
CONF

tools="quorlin-run"
[ -x "$bin/spdlog_stdin" ] && tools="$tools spdlog"
command -v multilog >/dev/null && tools="$tools multilog"
command -v rotatelogs >/dev/null && tools="$tools rotatelogs"

# Runs one tool once; prints its seconds. A run that fails, or whose last line is not on disk, ends the script.
run() {
  rm -rf "$work/q" "$work/s" "$work/m" "$work/r"
  mkdir -p "$work/q" "$work/s" "$work/m" "$work/r"
  start=$(date +%s.%N)
  case "$1" in
    quorlin-run) "$bin/quorlin-run" --quiet --config "$work/rolling.conf" < "$input" 2>/dev/null ;;
    spdlog) "$bin/spdlog_stdin" "$work/s/app.log" < "$input" ;;
    multilog) multilog s10485760 n5 "$work/m" < "$input" ;;
    rotatelogs) rotatelogs -n 5 "$work/r/app.log" 10M < "$input" ;;
  esac
  end=$(date +%s.%N)
  case "$1" in
    quorlin-run) got=$(tail -n 1 "$work/q/app.log" | tr -d '\r') ;;
    spdlog) got=$(tail -n 1 "$work/s/app.log" | tr -d '\r') ;;
    multilog) got=$(tail -n 1 "$work/m/current") ;;
    rotatelogs) got=$last ;;  # its circular names do not tell which file is the newest
  esac
  if [ "$got" != "$last" ]; then
    echo "stdin_compare: $1 did not write the last line" >&2
    exit 1
  fi
  echo "$end - $start" | bc -l
}

results="$work/times"
: > "$results"
i=0
while [ $i -lt "$runs" ]; do
  for t in $tools; do
    echo "run $((i + 1))/$runs: $t" >&2
    echo "$t $(run "$t")" >> "$results"
  done
  i=$((i + 1))
done
[ "$smoke" -eq 1 ] && exit 0

echo "$lines lines of 100 bytes on standard input, medians of $runs run(s) (min-max)"
echo
echo "| program | seconds | lines/s | quorlin-run / program (speed) |"
echo "|---|---|---|---|"
set -- $(median quorlin-run)
q=$1
for t in $tools; do
  set -- $(median "$t")
  ratio=$(echo "$1 / $q" | bc -l)
  printf '| %s | %.3f (%.3f-%.3f) | %s | %.2f |\n' "$t" "$1" "$2" "$3" \
    "$(printf '%.0f' "$(echo "$lines / $1" | bc -l)" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta')" "$ratio"
done
