#!/bin/sh
# Checks the Windows zip: that every path of the Windows build README names
# exists, what the zip holds, that its programs need only the DLLs of a bare
# Windows, and that under Wine they compile the example to the same bytes as
# the Linux programs and list it back the same, apart from the line ends.
#
#   check_windows_zip.sh ZIP LINUX_BIN_DIR
set -eu
zip=$1
linux_bin=$(cd "$2" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# README writes the version as <version>; the build sets it.
version=$(sed -n 's/^project(syxbank VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in CMakeLists.txt"; exit 1; }
for named in $(grep -o 'build/windows/[^ `)]*' "$source_dir/README.md" | sort -u); do
  path=$(echo "$named" | sed "s/<version>/$version/g")
  [ -e "$source_dir/$path" ] || { echo "README names $named, but $path was not built"; exit 1; }
done

unzip -q "$zip" -d "$work"
top=$(ls "$work")
(cd "$work/$top" && find . -type f | sort) > "$work/files"
cat > "$work/expected" <<'LIST'
./CHANGELOG.md
./LICENSE
./README.md
./doc/banktext.5.txt
./doc/syx2text.1.txt
./doc/syxport.1.txt
./doc/text2syx.1.txt
./syx2text.exe
./syxport.exe
./text2syx.exe
LIST
diff -u "$work/expected" "$work/files" || { echo "unexpected zip contents"; exit 1; }

for exe in text2syx syx2text syxport; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$work/$top/$exe.exe" | sed -n 's/.*DLL Name: //p' | sort -u)
  for dll in $dlls; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
      kernel32.dll | msvcrt.dll | shell32.dll | user32.dll | advapi32.dll | ws2_32.dll | winmm.dll) ;;
      *) echo "$exe.exe needs $dll, which a bare Windows lacks"; exit 1 ;;
    esac
  done
done

cp "$source_dir/examples/studio-a.txt" "$work/studio-a.txt"
"$linux_bin/text2syx" "$work/studio-a.txt" "$work/linux.syx"
"$linux_bin/syx2text" "$work/linux.syx" > "$work/linux.txt"
(cd "$work" && WINEDEBUG=-all "$wine" "$top/text2syx.exe" studio-a.txt windows.syx)
cmp "$work/linux.syx" "$work/windows.syx" ||
  { echo "the Windows program compiles the example to other bytes"; exit 1; }
(cd "$work" && WINEDEBUG=-all "$wine" "$top/syx2text.exe" windows.syx) > "$work/windows.txt"
grep -q "$(printf '\r')\$" "$work/windows.txt" || { echo "the listing has no CR LF line ends"; exit 1; }
tr -d '\r' < "$work/windows.txt" | cmp -s - "$work/linux.txt" ||
  { echo "the Windows listing differs from the Linux one"; exit 1; }
echo "windows zip: ok ($(wc -l < "$work/files") files)"
