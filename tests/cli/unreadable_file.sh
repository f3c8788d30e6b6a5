#!/bin/sh
# A file that cannot be read is named on stderr with the system's reason, and the exit status is
# 1; a readable empty file beside it is not. Permissions bind only a user who is not root, so
# root runs the CLI as "nobody" through setpriv, or the test is skipped (status 77).
#   unreadable_file.sh <linepeek-cli> <scratch folder>
cli=$1
folder=$2
rm -rf "$folder" && mkdir -p "$folder" && chmod 755 "$folder" || exit 1
: >"$folder/empty.txt"
echo secret >"$folder/locked.txt"
chmod 000 "$folder/locked.txt"
run="$cli"
if [ "$(id -u)" = 0 ]; then
  if ! command -v setpriv >/dev/null; then echo "skipped: root without setpriv"; exit 77; fi
  run="setpriv --reuid=nobody --regid=nogroup --clear-groups $cli"
fi
err=$($run -o tsv -f Type "$folder" 2>&1 >/dev/null)
status=$?
case $err in
*"cannot read '$folder/locked.txt': Permission denied"*) ;;
*) echo "stderr: $err"; exit 1 ;;
esac
case $err in *empty.txt*) echo "an empty file was reported: $err"; exit 1 ;; esac
[ $status = 1 ] || { echo "exit status $status, expected 1"; exit 1; }
echo "unreadable file: reported"
