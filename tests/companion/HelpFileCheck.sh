#!/usr/bin/env bash
# Checks the compiled help file from the outside, with 7z:
#   HelpFileCheck.sh SEVENZIP PLENARA_CHM HELP_SOURCE_DIR
# - the system files, the contents, the index and every topic are in it;
# - #SYSTEM names a Japanese help file (LCID 0x0411) with its contents,
#   index and a default topic that exists;
# - the context map (#IVB) holds exactly the numbers HelpIds.h defines, each
#   leading through #STRINGS to a topic named as a path inside the file;
# - every topic is Shift_JIS text that says so, and every entry of the
#   contents and the index leads to a topic in the file.
set -uo pipefail
sevenzip=$1 chm=$2 sources=$3

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -f "$chm" ] || { echo "FAIL: $chm does not exist" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$sevenzip" x -y -o"$work/files" "$chm" > "$work/log" 2>&1 || { cat "$work/log" >&2; fail "7z cannot extract $chm"; }
files=$work/files
has() { [ -f "$files/${1#/}" ]; }

for name in '#SYSTEM' '#IVB' '#STRINGS' Plenara.hhc Plenara.hhk plenara.css "$sources"/*.htm; do
  has "${name##*/}" || fail "${name##*/} is missing"
done

# #SYSTEM: a version DWORD, then records of code (WORD), length (WORD), data.
mapfile -t sys < <(od -An -v -tu1 "$files/#SYSTEM" | tr -s ' ' '\n' | sed '/^$/d')
declare -A at
for ((i = 4; i + 4 <= ${#sys[@]}; i += 4 + (sys[i + 2] | sys[i + 3] << 8))); do
  at[$((sys[i] | sys[i + 1] << 8))]=$((i + 4))
done
text_of() { [ -n "${at[$1]:-}" ] && tail -c +$((at[$1] + 1)) "$files/#SYSTEM" | tr '\0' '\n' | head -n 1; }
lcid=-1
[ -n "${at[4]:-}" ] && lcid=$((sys[at[4]] | sys[at[4] + 1] << 8 | sys[at[4] + 2] << 16 | sys[at[4] + 3] << 24))
[ "$lcid" -eq $((0x0411)) ] || fail "#SYSTEM does not give the language as Japanese (0x0411)"
[ "$(text_of 0)" = Plenara.hhc ] || fail "#SYSTEM does not name Plenara.hhc as the contents"
[ "$(text_of 1)" = Plenara.hhk ] || fail "#SYSTEM does not name Plenara.hhk as the index"
has "$(text_of 2)" || fail "the default topic '$(text_of 2)' is not in the file"

# #IVB: a DWORD byte count, then (context number, #STRINGS offset) pairs.
mapfile -t ivb < <(od -An -v -tu4 "$files/#IVB" | tr -s ' ' '\n' | sed '/^$/d')
[ "${ivb[0]:-x}" = $(((${#ivb[@]} - 1) * 4)) ] || fail "#IVB's byte count does not match its length"
for ((k = 1; k + 1 < ${#ivb[@]}; k += 2)); do
  topic=$(tail -c +$((ivb[k + 1] + 1)) "$files/#STRINGS" | tr '\0' '\n' | head -n 1)
  [[ $topic == *.htm && $topic != /* && $topic != *:* ]] && has "$topic" ||
    fail "context number ${ivb[k]} leads to '$topic', which is no topic inside the file"
done
in_map=$(for ((k = 1; k < ${#ivb[@]}; k += 2)); do echo "${ivb[k]}"; done | sort -nu)
defined=$(sed -n 's/^#define IDH_[A-Z0-9_]* \([0-9]*\)$/\1/p' "$sources/HelpIds.h" | sort -nu)
[ -n "$defined" ] || fail "HelpIds.h defines no context numbers"
[ "$(grep -c '^#define' "$sources/HelpIds.h")" -eq "$(wc -l <<<"$defined")" ] ||
  fail "HelpIds.h has a #define that is not 'IDH_NAME NUMBER' or reuses a number"
[ "$in_map" = "$defined" ] || fail "the context map and HelpIds.h differ: $(diff <(echo "$in_map") <(echo "$defined") | grep '^[<>]' | tr '\n' ' ')"

# Topics are Shift_JIS and declare it; contents and index lead into the file.
for topic in "$files"/*.htm "$files/Plenara.hhc" "$files/Plenara.hhk"; do
  iconv -f CP932 -t UTF-8 "$topic" > /dev/null 2>&1 || fail "${topic##*/} is not Shift_JIS text"
  [[ $topic != *.htm ]] || grep -qi 'charset=Shift_JIS' "$topic" || fail "${topic##*/} does not declare charset=Shift_JIS"
done
for map in Plenara.hhc Plenara.hhk; do
  locals=$(grep -o '<param name="Local" value="[^"]*"' "$files/$map" | sed 's/.*value="//; s/"$//' | sort -u)
  [ -n "$locals" ] || fail "$map has no entries"
  for local in $locals; do has "$local" || fail "$map leads to $local, which is not in the file"; done
done
for source in "$sources"/*.htm; do
  grep -q "value=\"${source##*/}\"" "$files/Plenara.hhc" || fail "${source##*/} is not in the contents"
done

[ "$failures" -eq 0 ] || { echo "$failures problem(s) in $chm" >&2; exit 1; }
echo "$chm: contents, index and context map in order"
