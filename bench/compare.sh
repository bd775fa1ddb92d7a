#!/bin/sh
# Times text2syx and syx2text as whole processes beside baselines measured
# in the same run, and prints the ratios. Peak memory is read with
# /usr/bin/time. Needs hyperfine and time (Debian: hyperfine time).
#
#   bench/compare.sh [--short] [BIN_DIR]     (default BIN_DIR: build/default/bin)
#
# --short runs fewer rounds (CI); nothing here passes or fails on timings.
set -eu
for tool in hyperfine:hyperfine /usr/bin/time:time; do
  command -v "${tool%%:*}" > /dev/null ||
    { echo "${tool%%:*} was not found. On Debian: apt-get install ${tool#*:}" >&2; exit 1; }
done
runs=50
if [ "${1:-}" = "--short" ]; then runs=10; shift; fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$source_dir/build/default/bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$source_dir/examples/studio-a.txt" "$work/bank.txt"
"$bin/text2syx" "$work/bank.txt" "$work/bank.syx"
# About 100 MB of bank text: the example over and over.
i=0
while [ $i -lt 12 ]; do cat "$work/bank.txt"; i=$((i + 1)); done > "$work/chunk.txt"
i=0
while [ $i -lt 335 ]; do cat "$work/chunk.txt"; i=$((i + 1)); done > "$work/large.txt"
# The bank followed by 1 GiB of trailing bytes (a sparse file).
cp "$work/bank.syx" "$work/trailing.syx"
truncate -s +1G "$work/trailing.syx"

# A MIDI file of the bank and then a 1 GiB chunk of another type (sparse),
# which --all reads through.
"$bin/text2syx" -m "$work/bank.txt" "$work/large.mid"
printf 'XFIH\100\000\000\000' >> "$work/large.mid"
truncate -s +1G "$work/large.mid"

# mean TIME in seconds of a command, by hyperfine.
mean() {
  hyperfine --style none --warmup 3 --runs "$runs" --export-json "$work/t.json" "$1" > /dev/null 2>&1
  sed -n 's/.*"mean": *\([0-9.e-]*\).*/\1/p' "$work/t.json" | head -n 1
}
# Peak resident memory in KiB.
peak() { /usr/bin/time -f %M sh -c "$1" 2>&1 >/dev/null | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# The growth from $2 to $1 KiB, signed.
growth() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+d KiB", a - b }'; }

echo "date: $(date -u +%Y-%m-%d)"
echo "machine: $(nproc) cores, $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -n 1)"
echo "large text: $(wc -c < "$work/large.txt") bytes"
echo

a=$(mean "$bin/syx2text $work/bank.syx"); b=$(mean "cat $work/bank.syx")
echo "syx2text one bank / cat of it:            $(ratio "$a" "$b")x   (aim <= 1.5; ${a}s vs ${b}s)"
a=$(mean "$bin/text2syx $work/bank.txt $work/out.syx"); b=$(mean "cat $work/bank.txt > $work/out.txt")
echo "text2syx one bank / cat into a file:      $(ratio "$a" "$b")x   (aim <= 1.5; ${a}s vs ${b}s)"
a=$(mean "$bin/text2syx $work/large.txt $work/large.syx"); b=$(mean "wc -l $work/large.txt")
echo "text2syx 100 MB / wc -l of it:            $(ratio "$a" "$b")x   (aim <= 5; ${a}s vs ${b}s)"

small=$(peak "$bin/text2syx $work/bank.txt $work/out.syx")
large=$(peak "$bin/text2syx $work/large.txt $work/large.syx")
echo "text2syx peak memory, 100 MB vs one bank: ${large} KiB vs ${small} KiB ($(growth "$large" "$small"); aim <= +1024)"
plain=$(peak "$bin/syx2text $work/bank.syx")
trailing=$(peak "$bin/syx2text $work/trailing.syx")
echo "syx2text peak memory, +1 GiB vs plain:    ${trailing} KiB vs ${plain} KiB ($(growth "$trailing" "$plain"); aim <= +1024)"
all=$(peak "$bin/syx2text --all $work/trailing.syx")
echo "syx2text --all peak memory, +1 GiB junk:  ${all} KiB vs ${plain} KiB ($(growth "$all" "$plain"); aim <= +1024)"
midi=$(peak "$bin/syx2text --all $work/large.mid")
echo "syx2text --all peak memory, 1 GiB .mid:   ${midi} KiB vs ${plain} KiB ($(growth "$midi" "$plain"); aim <= +1024)"
