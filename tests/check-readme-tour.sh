#!/bin/sh
# Runs the README's tour as a user would, against a built tree: every sh block of the tour section,
# with build/linux/bin/ replaced by the tree's own program folder.
set -e
source_dir=$1
bin_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk '/^## A five-minute tour/ { tour = 1 }
     /^## quorlin-run/ { tour = 0 }
     tour && /^```sh/ { code = 1; next }
     tour && /^```/ { code = 0 }
     tour && code' "$source_dir/README.md" | sed "s#build/linux/bin/#$bin_dir/#g" > "$work/tour.sh"
cd "$work"
if ! sh -e tour.sh > tour.out 2>&1; then
  cat tour.out
  echo "the README tour failed"
  exit 1
fi
fail() { cat tour.out; echo "$1"; exit 1; }
# The second run rolls the file over first when the first one left it above its limit.
grep -q "line 20000" logs/journal.log || zcat logs/journal.1.log.gz | grep -q "line 20000" ||
  fail "the last line is neither in logs/journal.log nor in its newest history"
[ -s logs/journal.1.log.gz ] || fail "no compressed history"
grep -q "Enter Factory::CreateAppender" tour.out || fail "no diagnostics shown"
[ -s tour-embedded.log ] || fail "the embedding example wrote nothing"
echo "README tour: $(grep -c '' tour.sh) lines run"
