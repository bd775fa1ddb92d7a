#!/bin/sh
# Checks a built Debian package: its file list, its manual pages, and that
# the packaged programs work.
set -eu
deb=$1
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

dpkg-deb -c "$deb" | awk '{print $NF}' | grep -v '/$' | sort > "$work/files"
cat > "$work/expected" <<'LIST'
./usr/bin/syx2text
./usr/bin/text2syx
./usr/share/man/man1/syx2text.1
./usr/share/man/man1/text2syx.1
./usr/share/man/man5/banktext.5
LIST
diff -u "$work/expected" "$work/files" || { echo "unexpected package contents"; exit 1; }
dpkg-deb -f "$deb" Package Version Architecture

dpkg-deb -x "$deb" "$work/root"
sh "$here/check_manpages.sh" "$work/root/usr/share/man/man1/text2syx.1" \
  "$work/root/usr/share/man/man1/syx2text.1" "$work/root/usr/share/man/man5/banktext.5"
"$work/root/usr/bin/text2syx" "$source_dir/examples/studio-a.txt" "$work/a.syx"
"$work/root/usr/bin/syx2text" "$work/a.syx" | grep -c '^@' | grep -qx 48 ||
  { echo "the packaged programs do not compile and list the example"; exit 1; }
echo "package: ok"
