#!/usr/bin/env bash
# Checks the compiled help file from the outside, with 7z:
#   HelpFileCheck.sh SEVENZIP PLENARA_CHM HELP_SOURCE_DIR
# - every topic, the contents (.hhc), the index (.hhk) and the system files
#   (#SYSTEM, #IVB, #STRINGS) are in it;
# - #SYSTEM names a Japanese help file (LCID 0x0411) with its contents,
#   index and a default topic that exists;
# - every context number of HelpIds.h resolves through #IVB and #STRINGS to
#   a topic inside the file, and #IVB holds no number the header lacks;
# - every topic is Shift_JIS text that says so, and every entry of the
#   contents and the index leads to a topic in the file.
set -uo pipefail

sevenzip=$1
chm=$2
sources=$3

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

[ -f "$chm" ] || { echo "FAIL: $chm does not exist" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Paths inside the file, without their leading slash.
"$sevenzip" l -slt "$chm" > "$work/listing" 2>&1 || { cat "$work/listing" >&2; echo "FAIL: 7z cannot list $chm" >&2; exit 1; }
sed -n 's/^Path = //p' "$work/listing" | sed '1d; s#^/##' | sort > "$work/names"
"$sevenzip" x -y -o"$work/files" "$chm" > /dev/null 2>&1 || fail "7z cannot extract every file of $chm"
declare -A in_file
while read -r name; do in_file[$name]=1; done < "$work/names"
has() { [ -n "${in_file[$1]:-}" ]; }
extract() { cat "$work/files/$1" 2>/dev/null; }
# Unsigned bytes of a file, one per line.
bytes_of() { od -An -v -tu1 "$1" | tr -s ' ' '\n' | sed '/^$/d'; }

for special in '#SYSTEM' '#IVB' '#STRINGS' Plenara.hhc Plenara.hhk plenara.css; do
  has "$special" || fail "$special is missing"
done
topics=0
for source in "$sources"/*.htm; do
  topic=${source##*/}
  topics=$((topics + 1))
  has "$topic" || fail "topic $topic is missing"
done
[ "$topics" -gt 0 ] || fail "no topics in $sources"

# #SYSTEM: a version DWORD, then records of code (WORD), length (WORD), data.
extract '#SYSTEM' > "$work/system"
mapfile -t sys < <(bytes_of "$work/system")
declare -A record
i=4
while [ $((i + 4)) -le ${#sys[@]} ]; do
  code=$((sys[i] | sys[i + 1] << 8))
  length=$((sys[i + 2] | sys[i + 3] << 8))
  record[$code]="$((i + 4)) $length"
  i=$((i + 4 + length))
done
# The NUL-terminated text at byte offset $2 of file $1.
text_at() { tail -c +$(($2 + 1)) "$1" | tr '\0' '\n' | head -n 1; }
system_string() {  # the text of record $1
  local at length
  read -r at length <<<"${record[$1]:-0 0}"
  [ "$length" -gt 0 ] && text_at "$work/system" "$at"
}
if [ -n "${record[4]:-}" ]; then
  read -r at _ <<<"${record[4]}"
  lcid=$((sys[at] | sys[at + 1] << 8 | sys[at + 2] << 16 | sys[at + 3] << 24))
  [ "$lcid" -eq $((0x0411)) ] || fail "#SYSTEM gives the language $(printf '0x%04X' "$lcid"), not Japanese (0x0411)"
else
  fail "#SYSTEM has no language record"
fi
[ "$(system_string 0)" = Plenara.hhc ] || fail "#SYSTEM does not name Plenara.hhc as the contents"
[ "$(system_string 1)" = Plenara.hhk ] || fail "#SYSTEM does not name Plenara.hhk as the index"
default_topic=$(system_string 2)
has "${default_topic#/}" || fail "the default topic '$default_topic' is not in the file"

# #IVB: a DWORD byte count, then (context number, #STRINGS offset) pairs.
extract '#IVB' > "$work/ivb"
extract '#STRINGS' > "$work/strings"
mapfile -t ivb < <(od -An -v -tu4 "$work/ivb" | tr -s ' ' '\n' | sed '/^$/d')
[ "${#ivb[@]}" -ge 1 ] && [ "${ivb[0]}" -eq $(((${#ivb[@]} - 1) * 4)) ] || fail "#IVB's byte count does not match its length"
declare -A topic_of
for ((k = 1; k + 1 < ${#ivb[@]}; k += 2)); do
  number=${ivb[k]}
  offset=${ivb[k + 1]}
  topic_of[$number]=$(text_at "$work/strings" "$offset")
done

declare -A defined
while read -r _ id number _; do
  defined[$number]=$id
  topic=${topic_of[$number]:-}
  if [ -z "$topic" ]; then
    fail "$id ($number) is not in the context map"
  elif ! has "${topic#/}"; then
    fail "$id ($number) leads to '$topic', which is not in the file"
  elif [[ $topic != *.htm ]]; then
    fail "$id ($number) leads to '$topic', which is no topic"
  fi
done < <(grep -E '^#define IDH_[A-Z0-9_]+ [0-9]+$' "$sources/HelpIds.h")
[ "${#defined[@]}" -gt 0 ] || fail "HelpIds.h defines no context numbers"
[ "$(grep -c '^#define' "$sources/HelpIds.h")" -eq "${#defined[@]}" ] ||
  fail "HelpIds.h has a #define that is not 'IDH_NAME NUMBER' or reuses a number"
for number in "${!topic_of[@]}"; do
  [ -n "${defined[$number]:-}" ] || fail "the context map holds $number, which HelpIds.h does not define"
done

# Topics are Shift_JIS and declare it; contents and index lead into the file.
while read -r name; do
  case $name in
    *.htm)
      iconv -f CP932 -t UTF-8 "$work/files/$name" > /dev/null 2>&1 || fail "$name is not Shift_JIS text"
      grep -qi 'charset=Shift_JIS' "$work/files/$name" || fail "$name does not declare charset=Shift_JIS"
      ;;
  esac
done < "$work/names"
for map in Plenara.hhc Plenara.hhk; do
  extract "$map" > "$work/map"
  iconv -f CP932 -t UTF-8 "$work/map" > /dev/null 2>&1 || fail "$map is not Shift_JIS text"
  grep -o '<param name="Local" value="[^"]*"' "$work/map" | sed 's/.*value="//; s/"$//' | sort -u > "$work/locals"
  [ -s "$work/locals" ] || fail "$map has no entries"
  declare -A listed=()
  while read -r local; do
    listed[$local]=1
    has "$local" || fail "$map leads to $local, which is not in the file"
  done < "$work/locals"
  if [ "$map" = Plenara.hhc ]; then
    for source in "$sources"/*.htm; do
      [ -n "${listed[${source##*/}]:-}" ] || fail "${source##*/} is not in the contents"
    done
  fi
  unset listed
done

if [ "$failures" -gt 0 ]; then
  echo "$failures problem(s) in $chm" >&2
  exit 1
fi
echo "$chm: $topics topics, ${#defined[@]} context numbers, contents and index in order"
