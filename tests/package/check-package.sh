#!/usr/bin/env bash
# Builds the ZIP, checks its files, and runs the probe on it unpacked in C:\テスト フォルダ\Plenara.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$1"
rm -rf package
cpack -G ZIP >/dev/null
version=$(sed -n 's/#define PLENARA_VERSION_STRING "\(.*\)"/\1/p' "$here/../../res/version.h")
name=Plenara-$version-win32
actual=$(unzip -Z1 "package/$name.zip" | grep -v '/$' | sort | tr '\n' ' ')
expected="$name/LICENSE $name/Plenara.chm $name/Plenara.exe $name/PlenaraDLL.dll $name/README.txt "
[ "$actual" = "$expected" ] || { echo "package holds: $actual; expected: $expected"; exit 1; }
target="$WINEPREFIX/drive_c/テスト フォルダ"
rm -rf "$target" && mkdir -p "$target"
unzip -q "package/$name.zip" -d "$target"
mv "$target/$name" "$target/Plenara"
status=0
"$here/../../tools/wine-run" "$2" || status=$?
# Nothing but the settings file and its backup may have been written.
extra=$(cd "$target/Plenara" && ls | grep -vxE 'LICENSE|Plenara\.(chm|exe|ini|ini\.bak)|PlenaraDLL\.dll|README\.txt' || true)
[ -z "$extra" ] || { echo "files written beside the package: $extra"; status=1; }
rm -rf "$target"
exit $status
