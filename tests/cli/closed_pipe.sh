#!/usr/bin/env bash
# A reader that closes the pipe early: on POSIX the CLI ends by SIGPIPE without a word, as cat
# does (status 141); on Windows it fails as any output error does, with the reason (status 2).
#   closed_pipe.sh <expected status> <file to list> [emulator] <linepeek-cli>
set -uo pipefail
expected=$1
file=$2
shift 2
err=$(mktemp)
trap 'rm -f "$err"' EXIT
yes "$file" | head -n 50000 | "$@" -o tsv -f Type --files-from - 2>"$err" | head -n 1 >/dev/null
status=${PIPESTATUS[2]}
[[ $status == "$expected" ]] || { echo "exit status $status, expected $expected"; cat "$err"; exit 1; }
case $expected in
141) [[ ! -s $err ]] || { echo "unexpected stderr:"; cat "$err"; exit 1; } ;;
*) grep -q "^linepeek-cli: cannot write the output: ." "$err" || { cat "$err"; exit 1; } ;;
esac
echo "closed pipe: status $status"
