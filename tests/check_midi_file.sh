#!/bin/sh
# Reads the MIDI file that text2syx -m writes with an independent reader,
# midicsv, and lists a file that its writer, csvmidi, made.
#   check_midi_file.sh BIN_DIR EXAMPLE_TEXT
# Exits 77 (skipped) without midicsv (Debian: apt-get install midicsv).
set -eu
command -v midicsv > /dev/null || { echo "midicsv was not found: skipped"; exit 77; }
bin=$1
example=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bin/text2syx" -s5 -b1 "$example" "$work/bank.syx"
"$bin/text2syx" -m -s5 -b1 "$example" "$work/bank.mid"
midicsv "$work/bank.mid" > "$work/bank.csv"

# 50 System Exclusive events: protect-off at 0 ms, the header and bank name
# at 300 ms, voice n at 300 + 160 n ms.
awk -F', ' '$3 ~ /^System_exclusive/ { print $2 }' "$work/bank.csv" > "$work/times"
awk 'BEGIN { print 0; for (n = 0; n <= 48; n++) print 300 + 160 * n }' > "$work/expected"
cmp -s "$work/times" "$work/expected" || { echo "the events are not at their times"; exit 1; }

# Their bytes put together: protect-off, then the .syx as text2syx writes it.
awk -F', ' '$3 == "System_exclusive" { printf "240\n" }
            $3 ~ /^System_exclusive/ { for (i = 5; i <= NF; i++) print $i }' "$work/bank.csv" \
  > "$work/sent"
{ printf '240\n67\n117\n5\n16\n33\n0\n247\n'; od -An -v -tu1 "$work/bank.syx" | tr -s ' ' '\n' | sed '/^$/d'; } \
  > "$work/bytes"
cmp -s "$work/sent" "$work/bytes" || { echo "the events do not carry protect-off and the dump"; exit 1; }

# A format 1 file from csvmidi: a tempo track, and a track with notes under
# running status between the packets.
{
  echo "0, 0, Header, 1, 2, 480"
  echo "1, 0, Start_track"; echo "1, 0, Tempo, 600000"; echo "1, 0, End_track"
  echo "2, 0, Start_track"
  awk -F', ' '$3 ~ /^System_exclusive/ { print; print "2, " $2 ", Note_on_c, 0, 60, 90"; print "2, " $2 ", Note_on_c, 0, 60, 0" }' "$work/bank.csv" |
    sed 's/^1, /2, /'
  echo "2, 8000, End_track"; echo "0, 0, End_of_file"
} > "$work/format1.csv"
csvmidi "$work/format1.csv" "$work/format1.mid"
"$bin/syx2text" "$work/bank.syx" > "$work/syx.txt"
"$bin/syx2text" "$work/format1.mid" | cmp -s - "$work/syx.txt" ||
  { echo "a file csvmidi wrote does not list as the .syx"; exit 1; }
"$bin/syx2text" "$work/bank.mid" | cmp -s - "$work/syx.txt" ||
  { echo "the file text2syx -m wrote does not list as the .syx"; exit 1; }
echo "midi files: ok (50 events, $(wc -l < "$work/sent") bytes sent)"
