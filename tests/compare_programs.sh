#!/bin/sh
# Runs two builds of text2syx and syx2text side by side over the same inputs
# and reports every difference in standard output, standard error, exit
# status or the file written. For refactors that must not change behaviour:
#
#   tests/compare_programs.sh OLD_BIN_DIR NEW_BIN_DIR [FILE...]
#
# Without files: the fuzz corpora, the example and its .mid, the real banks
# beside the project (when present), and texts with long lines and CR LF
# ends. Exits 1 when anything differs.
set -eu
old=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
shift 2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ $# -eq 0 ]; then
  "$new/text2syx" -m "$source_dir/examples/studio-a.txt" "$work/studio-a.mid" > /dev/null
  awk '{ printf "%s\r\n", $0 }' "$source_dir/examples/studio-a.txt" > "$work/crlf.txt"
  { head -c 200000 /dev/zero | tr '\0' '#'; echo; cat "$source_dir/examples/studio-a.txt"; } \
    > "$work/long-comment.txt"
  { cat "$source_dir/examples/studio-a.txt"; printf 'OP1:'; head -c 100000 /dev/zero | tr '\0' ' '
    echo ' 1 2 3'; } > "$work/long-line.txt"
  set -- "$source_dir"/fuzz/corpus/list/* "$source_dir"/fuzz/corpus/text/* \
    "$source_dir/examples/studio-a.txt" "$work/studio-a.mid" "$work/crlf.txt" \
    "$work/long-comment.txt" "$work/long-line.txt"
  for bank in "$source_dir"/../shared/banks/*.syx; do [ -f "$bank" ] && set -- "$@" "$bank"; done
fi

# run DIR NAME ARGS...: the outputs of one run, in $work/NAME.*
run() {
  dir=$1; name=$2; shift 2
  rm -f "$work/out.bin"
  set +e
  "$@" > "$work/$name.stdout" 2> "$work/$name.stderr"
  echo $? > "$work/$name.status"
  set -e
  if [ -f "$work/out.bin" ]; then mv "$work/out.bin" "$work/$name.file"; else : > "$work/$name.file"; fi
}

differences=0
runs=0
for input in "$@"; do
  for form in "syx2text" "syx2text --all" "text2syx" "text2syx -w" "text2syx -m"; do
    program=${form%% *}
    options=${form#"$program"}
    for side in old new; do
      eval "dir=\$$side"
      # shellcheck disable=SC2086
      if [ "$program" = text2syx ]; then
        run "$dir" "$side" "$dir/$program" $options "$input" "$work/out.bin"
      else
        run "$dir" "$side" "$dir/$program" $options "$input"
      fi
    done
    runs=$((runs + 1))
    for part in stdout stderr status file; do
      if ! cmp -s "$work/old.$part" "$work/new.$part"; then
        echo "differs: $form $input ($part)"
        differences=$((differences + 1))
      fi
    done
  done
done
echo "$runs runs compared, $differences differences"
[ "$differences" -eq 0 ]
