#!/bin/sh
# README's recipe for splitting an --all listing into one bank text a
# message, run as README gives it, over listings that begin with a message,
# with stray bytes, and with the comment line of a MIDI file.
#   check_split_recipe.sh BIN_DIR EXAMPLE_TEXT README
set -eu
bin=$(cd "$1" && pwd)
example=$2
readme=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
recipe=$(sed -n "s/^\\\$ \\(awk '\\/^# Message\\/.*\\) both.txt\$/\\1/p" "$readme")
[ -n "$recipe" ] || { echo "README holds no splitting recipe"; exit 1; }

sed 's/^FB-01:StudioA/FB-01:Other/' "$example" > "$work/other.txt"
"$bin/text2syx" -b0 "$example" "$work/a.syx" > /dev/null
"$bin/text2syx" -b1 "$work/other.txt" "$work/b.syx" > /dev/null
cat "$work/a.syx" "$work/b.syx" > "$work/both.syx"
printf 'stray' | cat - "$work/both.syx" > "$work/stray.syx"
"$bin/text2syx" -m "$example" "$work/a.mid" > /dev/null

for input in both.syx stray.syx a.mid; do
  dir="$work/split-$input"
  mkdir "$dir"
  "$bin/syx2text" --all "$work/$input" > "$dir/both.txt"
  (cd "$dir" && sh -c "$recipe both.txt")
  expected="a.syx b.syx"
  [ "$input" = a.mid ] && expected="a.syx"
  n=0
  for syx in $expected; do
    part=$(printf 'bank%02d' $n)
    "$bin/text2syx" -w -b$n "$dir/$part.txt" "$dir/$part.syx" > "$dir/$part.out" ||
      { echo "$input: $part.txt does not compile"; cat "$dir/$part.out"; exit 1; }
    cmp -s "$dir/$part.syx" "$work/$syx" || { echo "$input: $part is not the bank"; exit 1; }
    n=$((n + 1))
  done
  [ ! -e "$dir/$(printf 'bank%02d' $n).txt" ] || { echo "$input: a part too many"; exit 1; }
done
echo "the splitting recipe gives each bank whole"
