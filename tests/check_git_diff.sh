#!/bin/sh
# Banks kept in git: with syx2text as the text converter of .syx and .mid
# files, `git diff --word-diff` shows the very value that changed, under a
# hunk header that names its voice.
#   check_git_diff.sh BIN_DIR EXAMPLE_TEXT [--show]
# --show prints what git printed. Exits 77 (skipped) without git (Debian:
# apt-get install git).
set -eu
command -v git > /dev/null || { echo "git was not found: skipped"; exit 77; }
bin=$(cd "$1" && pwd)
example=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
show=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The settings README gives, with the programs built here first on PATH and
# no user or system configuration of git read.
PATH=$bin:$PATH
export PATH GIT_CONFIG_NOSYSTEM=1 HOME="$work" GIT_PAGER=cat
cd "$work"
git init -q banks
cd banks
git config user.name "Bank Keeper"
git config user.email "keeper@example.org"
printf '*.syx diff=fb01\n*.mid diff=fb01\n' > .gitattributes
git config diff.fb01.textconv syx2text
git config diff.fb01.xfuncname '^(@[0-9]+: .*|FB-01:.*)$'

# A bank committed as .syx and as .mid, then TL of voice 1's operator 1
# changed in the text and both compiled again.
sed 's/^OP1: 007 047 030/OP1: 007 040 030/' "$example" > edited.txt
cmp -s "$example" edited.txt && { echo "the example has no OP1 line to edit"; exit 1; }
text2syx "$example" studio-a.syx > /dev/null
text2syx -m "$example" studio-a.mid > /dev/null
git add .gitattributes studio-a.syx studio-a.mid
git commit -q -m "Studio A as it came"
text2syx edited.txt studio-a.syx > /dev/null
text2syx -m edited.txt studio-a.mid > /dev/null

for file in studio-a.syx studio-a.mid; do
  git diff --word-diff "$file" > "$work/diff.txt"
  [ "$show" = --show ] && { echo "\$ git diff --word-diff $file"; cat "$work/diff.txt"; }
  grep -qxF '@@ -6,7 +6,7 @@ @01: GrandPn' "$work/diff.txt" ||
    { echo "$file: no hunk header naming voice 1"; cat "$work/diff.txt"; exit 1; }
  grep -q '^OP1: 007 \[-047-\]{+040+} 030 ' "$work/diff.txt" ||
    { echo "$file: the changed value is not shown on its operator line"; cat "$work/diff.txt"; exit 1; }
done

# A damaged file: git says the converter failed, after syx2text's own error.
head -c 100 studio-a.syx > cut.syx
mv cut.syx studio-a.syx
if git diff studio-a.syx > "$work/out.txt" 2> "$work/err.txt"; then
  echo "git diff of a damaged dump succeeded"; exit 1
fi
[ "$show" = --show ] && { echo "\$ git diff studio-a.syx   # a damaged file"; cat "$work/err.txt"; }
grep -qF 'Error: Unexpected end of file..' "$work/err.txt" ||
  { echo "syx2text's error is not shown"; cat "$work/err.txt"; exit 1; }
echo "git diff shows each changed value under its voice"
