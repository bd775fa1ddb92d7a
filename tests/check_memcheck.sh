#!/bin/sh
# Runs the programs under valgrind's memcheck on the bundled example and on
# every failure path; any memory error or leak fails the check.
set -eu
bin=$1
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=0

# check EXPECTED_STATUS PROGRAM ARGS...: the program's own status must be the
# expected one; valgrind's errors exit with 99.
check() {
  expected=$1
  shift
  status=0
  valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    "$@" > "$work/out" 2> "$work/err" < /dev/null || status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "memcheck: status $status (expected $expected): $*"
    cat "$work/err"
    exit 1
  fi
  runs=$((runs + 1))
}

t2s="$bin/text2syx"
s2t="$bin/syx2text"
cp "$source_dir/examples/studio-a.txt" "$work/bank.txt"
check 0 "$t2s" -s3 -b1 "$work/bank.txt"
check 0 "$s2t" "$work/bank.syx"
check 1 "$t2s"
check 1 "$t2s" -s3
check 0 "$t2s" --help
check 0 "$s2t" --version
check 1 "$t2s" "$work/missing.txt"
printf '@1: A\nLFO: 1 2\n' > "$work/bad.txt"
check 1 "$t2s" "$work/bad.txt"
printf '@1: A\n' > "$work/short.txt"
check 1 "$t2s" "$work/short.txt"
check 1 "$t2s" "$work/bank.txt" "$work/no/dir/out.syx"
check 1 "$t2s" "$work/bank.txt" /dev/full
check 1 "$s2t"
check 1 "$s2t" "$work/missing.syx"
check 1 "$s2t" "$work/bank.txt"
head -c 3000 "$work/bank.syx" > "$work/cut.syx"
check 1 "$s2t" "$work/cut.syx"
{ head -c 300 "$work/bank.syx"; printf '\017'; tail -c +302 "$work/bank.syx"; } > "$work/bad.syx"
check 1 "$s2t" "$work/bad.syx"
check 1 "$s2t" "$work"
check 1 "$t2s" -w "$work/bank.txt" "$work/bank.txt"
printf 'Lfo: 1\n\tOP1: 1\n@60: X\nLFO: 1 2 3 4 5 6 7 800 x\n@1: TooLongName\n@1:\n' > "$work/slips.txt"
cat "$work/bank.txt" >> "$work/slips.txt"
check 0 "$t2s" -w "$work/slips.txt"
check 1 "$t2s" -w "$work/bad.txt"
cat "$work/bad.syx" "$work/cut.syx" "$work/bank.txt" > "$work/mixed.syx"
check 1 "$s2t" --all "$work/mixed.syx"
check 0 "$s2t" --all "$work/bank.syx"
check 1 "$s2t" --all "$work/bank.txt"
# syxport where no instrument is needed: a send without reading back, a
# terminal that stays silent, a port that reports its end, usage errors.
sp="$bin/syxport"
check 0 "$sp" send --no-verify --gap 20 /dev/null "$work/bank.txt"
check 1 "$sp" receive --timeout 1 /dev/ptmx "$work/received.syx"
check 1 "$sp" receive /dev/null "$work/received.txt"
check 1 "$sp" send /dev/null "$work/bad.txt"
check 1 "$sp" send --gap 5 /dev/null "$work/bank.txt"
check 0 "$sp" --help
status=0
valgrind -q --error-exitcode=99 --leak-check=full "$s2t" "$work/bank.syx" > /dev/full 2> "$work/err" || status=$?
[ "$status" -eq 1 ] || { echo "memcheck: listing to /dev/full: status $status"; cat "$work/err"; exit 1; }
runs=$((runs + 1))
echo "memcheck: $runs runs, no errors"
