#!/usr/bin/env bash
# Builds the ZIP, checks what it holds, unpacks it into
# C:\テスト フォルダ\Plenara of the test prefix and runs the probe on it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
probe=$2
cd "$build"
rm -rf package
cpack -G ZIP >/dev/null
zip=$(ls package/Plenara-*-win32.zip)
version=$(sed -n 's/#define PLENARA_VERSION_STRING "\(.*\)"/\1/p' "$here/../../res/version.h")
[ "$zip" = "package/Plenara-$version-win32.zip" ] || { echo "package name $zip does not carry version $version"; exit 1; }

expected="Plenara-$version-win32/LICENSE
Plenara-$version-win32/Plenara.chm
Plenara-$version-win32/Plenara.exe
Plenara-$version-win32/PlenaraDLL.dll
Plenara-$version-win32/README.txt"
actual=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
if [ "$actual" != "$expected" ]; then
  echo "package holds:"; echo "$actual"; echo "expected:"; echo "$expected"
  exit 1
fi

target="$WINEPREFIX/drive_c/テスト フォルダ"
rm -rf "$target"
mkdir -p "$target"
unzip -q "$zip" -d "$target"
mv "$target/Plenara-$version-win32" "$target/Plenara"
status=0
"$here/../../tools/wine-run" "$probe" || status=$?
# Nothing but the settings file and its backup may have been written.
extra=$(cd "$target" && find . -type f | sort | grep -v -e '^./Plenara/\(LICENSE\|Plenara.chm\|Plenara.exe\|PlenaraDLL.dll\|README.txt\|Plenara.ini\|Plenara.ini.bak\)$' || true)
if [ -n "$extra" ]; then
  echo "files written beside the package: $extra"
  status=1
fi
rm -rf "$target"
exit $status
