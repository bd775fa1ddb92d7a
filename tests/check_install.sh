#!/bin/sh
# Installs a configured build tree into a temporary prefix and runs the
# installed programs on the bundled example: they must be the programs
# built, giving the same bytes, the same listing and the same version.
set -eu
build=$1
source_dir=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null
for f in bin/text2syx bin/syx2text bin/syxport share/man/man1/text2syx.1.gz \
         share/man/man1/syx2text.1.gz share/man/man1/syxport.1.gz share/man/man5/banktext.5.gz \
         share/doc/syxbank/LICENSE; do
  [ -f "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
"$prefix/bin/text2syx" -s1 -b1 "$source_dir/examples/studio-a.txt" "$prefix/studio-a.syx"
"$build/bin/text2syx" -s1 -b1 "$source_dir/examples/studio-a.txt" "$prefix/built.syx"
cmp -s "$prefix/studio-a.syx" "$prefix/built.syx" ||
  { echo "the installed text2syx writes other bytes than the one built"; exit 1; }
"$prefix/bin/syx2text" "$prefix/studio-a.syx" > "$prefix/listing.txt"
"$build/bin/syx2text" "$prefix/studio-a.syx" | cmp -s - "$prefix/listing.txt" ||
  { echo "the installed syx2text lists otherwise than the one built"; exit 1; }
for program in text2syx syx2text syxport; do
  [ "$("$prefix/bin/$program" --version)" = "$("$build/bin/$program" --version)" ] ||
    { echo "the installed $program is not the one built"; exit 1; }
  "$prefix/bin/$program" --version
done
MANPATH="$prefix/share/man" man -w text2syx syx2text syxport banktext
echo "install: ok"
