#!/bin/sh
# Checks a built Debian package: lintian finds no error or warning, its file
# list, its manual pages, and that the packaged programs work.
set -eu
deb=$1
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

dpkg-deb -c "$deb" | awk '{print $NF}' | grep -v '/$' | sort > "$work/files"
cat > "$work/expected" <<'LIST'
./usr/bin/syx2text
./usr/bin/syxport
./usr/bin/text2syx
./usr/share/doc/syxbank/LICENSE
./usr/share/doc/syxbank/README.md
./usr/share/doc/syxbank/changelog.gz
./usr/share/doc/syxbank/copyright
./usr/share/man/man1/syx2text.1.gz
./usr/share/man/man1/syxport.1.gz
./usr/share/man/man1/text2syx.1.gz
./usr/share/man/man5/banktext.5.gz
LIST
diff -u "$work/expected" "$work/files" || { echo "unexpected package contents"; exit 1; }
dpkg-deb -f "$deb" Package Version Architecture Depends
# lintian notes that it runs as root, as CI does; that note is no finding.
if ! lintian --fail-on error,warning "$deb" > "$work/lintian" 2>&1; then
  cat "$work/lintian"
  echo "lintian finds errors or warnings in the package"
  exit 1
fi
# The programs carry Debian's hardening: no note of a missing part of it.
if lintian --display-info "$deb" 2>&1 | grep 'hardening-'; then
  echo "lintian finds the programs without part of Debian's hardening"
  exit 1
fi
echo "lintian: no errors, no warnings, no missing hardening"

dpkg-deb -x "$deb" "$work/root"
for page in man1/text2syx.1 man1/syx2text.1 man1/syxport.1 man5/banktext.5; do
  gzip -dc "$work/root/usr/share/man/$page.gz" > "$work/$(basename "$page")"
done
sh "$here/check_manpages.sh" "$work/text2syx.1" "$work/syx2text.1" "$work/syxport.1" \
  "$work/banktext.5"
"$work/root/usr/bin/text2syx" "$source_dir/examples/studio-a.txt" "$work/a.syx"
"$work/root/usr/bin/syx2text" "$work/a.syx" | grep -c '^@' | grep -qx 48 ||
  { echo "the packaged programs do not compile and list the example"; exit 1; }
"$work/root/usr/bin/syxport" --version
echo "package: ok"
