#!/usr/bin/env bash
# Drives the bash completion of linepeek-cli the way readline does: COMP_WORDS and COMP_CWORD
# set, the registered function called, COMPREPLY compared. Units and field names come from the
# CLI given, through the module beside it.
#   completion_test.sh <completion file> <linepeek-cli> [<module with Charset=1>]
# (run from the source folder)
set -uo pipefail
completion=$1
cli=$2
charset_module=${3-}

# shellcheck source=/dev/null
source "$completion"
failures=0

registered=$(complete -p linepeek-cli)
if [[ $registered != "complete -F _linepeek_cli linepeek-cli" ]]; then
  echo "FAIL: complete -p linepeek-cli: $registered"
  failures=1
fi

# expect <expected replies, sorted, space-separated> <words...>; the last word is completed.
expect() {
  local expected=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _linepeek_cli
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
  if [[ $got != "$expected" ]]; then
    echo "FAIL: ${COMP_WORDS[*]}|<Tab> gave '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}

expect "csv json table tsv" "$cli" -o ""
expect "table tsv" "$cli" -r --format t
expect "json" "$cli" --format = j
expect "--format=csv" "$cli" --format=c
expect "dos win" "$cli" -u ""
expect "dos" "$cli" --unit = d
expect "1 10" "$cli" -f 1
expect "-1 -2 -3 1 10 2 3 4 5 6 7 8 9 Encoding Line\ count Type all" "$cli" -f ""
expect 'Line\ count' "$cli" --fields L
expect 'Type\,Line\ count' "$cli" -f Type,L
expect 'Type\,Line\ count\,-1 Type\,Line\ count\,-2 Type\,Line\ count\,-3' \
  "$cli" -f 'Type\,Line\ count,-'
expect "--list-fields" "$cli" --li
expect "--settings" "$cli" --se
expect "samples/files/utf8_bom.txt samples/files/utf8_no_bom.txt" "$cli" -r samples/files/utf8_
expect "" "$cli" --width ""
expect "" "$cli" -- --li
expect "samples/files/folder" "$cli" --module samples/files/fol
expect "--summary --summary-only" "$cli" --summ
if [[ -n $charset_module ]]; then
  # The text field's names come from the charset table; the third unit from the catalogue.
  expect "ISO-8859-1 ISO-8859-10 ISO-8859-11 ISO-8859-13 ISO-8859-15 ISO-8859-16" \
    "$cli" --module "$charset_module" --where Charset = ISO-8859-1
  expect "auto dos win" "$cli" --module "$charset_module" -u ""
fi
expect "Type=" "$cli" --where Ty
expect "Binary Folder Text" "$cli" --where Type =
expect "Text" "$cli" --where Type = T
expect 'Text\,Binary' "$cli" --where 'Type!' = Text,B
expect 'UTF-8\ BOM UTF-8\ no\ BOM' "$cli" --where Encoding = UTF-8
expect "" "$cli" -j ""
expect "samples/files/folder" "$cli" --files-from samples/files/fol

if ((failures > 0)); then
  echo "$failures completion check(s) failed"
  exit 1
fi
echo "completion: all checks passed"
