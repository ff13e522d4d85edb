#!/usr/bin/env bash
# Compiles the help sources into one compiled help file.
#
#   compile-chm.sh CHMCMD SEVENZIP FIXCONTEXTMAP SOURCE_DIR STAGE_DIR OUTPUT
#
# The sources are UTF-8. A Japanese help file is read in code page 932, so
# every text source is converted into a stage folder, its charset
# declaration rewritten to match, and compiled there; the compiler's context
# map is then mended (see tools/FixContextMap.cpp).
set -euo pipefail
shopt -s nullglob

chmcmd=$1
sevenzip=$2
fix=$3
source_dir=$4
stage=$5
output=$6

rm -rf "$stage"
mkdir -p "$stage"
stage=$(realpath "$stage")
output=$(realpath -m "$output")
fix=$(realpath "$fix")

for file in "$source_dir"/*.htm "$source_dir"/*.hhc "$source_dir"/*.hhk "$source_dir"/*.hhp "$source_dir"/*.css; do
  name=$(basename "$file")
  # iconv fails on any character that code page 932 cannot hold.
  if ! iconv -f UTF-8 -t CP932 "$file" > "$stage/$name.tmp"; then
    echo "compile-chm.sh: $name holds text that code page 932 cannot show" >&2
    exit 1
  fi
  sed -e 's/charset=UTF-8/charset=Shift_JIS/I' "$stage/$name.tmp" > "$stage/$name"
  rm "$stage/$name.tmp"
done
cp "$source_dir/HelpIds.h" "$stage/"

# The compiler reads "#include HelpIds.h" relative to the current folder and
# puts this folder's physical path in front of every context topic, into the
# file's string table. So that the file is the same bytes whichever folder
# it is built in, it is compiled in one fixed folder, one build at a time.
# At verbosity 2 it also warns of links to files that are not there: any
# warning fails the build.
compile=/tmp/plenara-help-compile
mkdir -p "$(dirname "$output")"
exec 9>"$compile.lock"
flock 9
rm -rf "$compile"
mkdir "$compile"
trap 'rm -rf "$compile"' EXIT
cp "$stage"/* "$compile/"
cd "$compile"
log=$("$chmcmd" --verbosity 2 Plenara.hhp 2>&1) || { echo "$log" >&2; exit 1; }
if grep -qiE 'error|warning|not found|exception' <<<"$log"; then
  echo "$log" >&2
  echo "compile-chm.sh: the help compiler reported problems" >&2
  exit 1
fi

"$sevenzip" e -y -so Plenara.chm '#IVB' > ivb.bin 2>/dev/null
"$sevenzip" e -y -so Plenara.chm '#STRINGS' > strings.bin 2>/dev/null
"$fix" Plenara.chm ivb.bin strings.bin "$(pwd -P)/"

cp Plenara.chm "$stage/"
cp Plenara.chm "$output.part"
mv "$output.part" "$output"
