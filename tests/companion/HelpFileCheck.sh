#!/usr/bin/env bash
# Checks the compiled help file's context map from the outside, with 7z:
#   HelpFileCheck.sh SEVENZIP PLENARA_CHM HELP_SOURCE_DIR [CHMCMD FIXCONTEXTMAP]
# #IVB must hold exactly the numbers HelpIds.h defines, each leading through
# #STRINGS to a topic inside the file. Given the compiler, the file is built
# again in another folder, a second later, and must be the same bytes.
set -uo pipefail
sevenzip=$1 chm=$2 sources=$3 chmcmd=${4:-} fix=${5:-}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$sevenzip" x -y -o"$work" "$chm" > "$work.log" 2>&1 || { cat "$work.log" >&2; rm -f "$work.log"; exit 1; }
rm -f "$work.log"

# #IVB: a DWORD byte count, then (context number, #STRINGS offset) pairs.
mapfile -t ivb < <(od -An -v -tu4 "$work/#IVB" | tr -s ' ' '\n' | sed '/^$/d')
[ "${ivb[0]:-x}" = $(((${#ivb[@]} - 1) * 4)) ] || fail "#IVB's byte count does not match its length"
for ((k = 1; k + 1 < ${#ivb[@]}; k += 2)); do
  topic=$(tail -c +$((ivb[k + 1] + 1)) "$work/#STRINGS" | tr '\0' '\n' | head -n 1)
  [[ $topic == *.htm && $topic != /* && $topic != *:* && -f "$work/$topic" ]] ||
    fail "context number ${ivb[k]} leads to '$topic', which is no topic inside the file"
done
in_map=$(for ((k = 1; k < ${#ivb[@]}; k += 2)); do echo "${ivb[k]}"; done | sort -nu)
defined=$(sed -n 's/^#define IDH_[A-Z0-9_]* \([0-9]*\)$/\1/p' "$sources/HelpIds.h" | sort -nu)
[ -n "$defined" ] || fail "HelpIds.h defines no context numbers"
[ "$(grep -c '^#define' "$sources/HelpIds.h")" -eq "$(wc -l <<<"$defined")" ] ||
  fail "HelpIds.h has a #define that is not 'IDH_NAME NUMBER' or reuses a number"
[ "$in_map" = "$defined" ] || fail "the context map and HelpIds.h differ: $(diff <(echo "$in_map") <(echo "$defined") | grep '^[<>]' | tr '\n' ' ')"
if [ -n "$chmcmd" ]; then
  sleep 1
  if bash "$sources/compile-chm.sh" "$chmcmd" "$sevenzip" "$fix" "$sources" "$work/again/stage" "$work/again/Plenara.chm" \
    > "$work/again.log" 2>&1; then
    cmp -s "$chm" "$work/again/Plenara.chm" || fail "the help file built in another folder differs: $(cmp "$chm" "$work/again/Plenara.chm")"
  else
    fail "the help file could not be built again: $(cat "$work/again.log")"
  fi
fi
[ "$failures" -eq 0 ] || exit 1
echo "$chm: context map complete"
