#!/bin/bash
# Rows on a network share: an SFTP mount over loopback (its own sshd, sshfs, and a relay that
# holds every chunk for 1 ms in each direction), against `cat *` and peer tools on the same
# mount; also the local disk. Prints seconds, ratios to `cat *`, round trips and system calls
# per row.
#
#   bench/netshare.sh                      the current tree's module, 1,000 files, 3 rounds
#   FILES=200 ROUNDS=1 bench/netshare.sh   a quick look
#   MODULES="before=/tmp/before.so after=build-perf/linepeek.so" bench/netshare.sh
#
# BUILD (default build-perf) is where the driver, linepeek-cli and the data writer are built in
# Release, and the module when MODULES is not given. Every run gets a fresh mount and dropped
# caches (when the system lets us drop them). Runs as root: it installs the Debian packages it
# misses, and sshd needs /run/sshd. Everything it makes is removed on exit, whatever the exit.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-perf}
files=${FILES:-1000}
rounds=${ROUNDS:-3}
delay_ms=${DELAY_MS:-1}
python=/usr/bin/python3

die() { echo "bench/netshare.sh: $*" >&2; exit 1; }

need=()
[ -x /usr/sbin/sshd ] || need+=(openssh-server)
[ -x "$python" ] || need+=(python3)
for tool in sshfs fusermount strace dos2unix uchardet mountpoint; do
  command -v "$tool" > /dev/null || case $tool in
    fusermount) need+=(fuse3) ;; mountpoint) need+=(util-linux) ;; *) need+=("$tool") ;;
  esac
done
if [ ${#need[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || die "needs ${need[*]} (Debian packages; run as root to install them)"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q "${need[@]}" > /dev/null ||
    { apt-get update -q > /dev/null && apt-get install -y -q "${need[@]}" > /dev/null; }
fi
[ -e /dev/fuse ] || die "needs /dev/fuse"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLINEPEEK_BUILD_BENCHMARKS=ON \
  > /dev/null
cmake --build "$build" -j 2 --target linepeek linepeek-cli linepeek_bench_data \
  linepeek_row_driver > /dev/null
driver=$build/bench/linepeek_row_driver
cli=$build/linepeek-cli

# What the script started, for the trap: the timed command, sshfs, the relay, sshd.
command_pid='' sshfs_pid='' relay_pid='' sshd_pid='' made_privsep=0
work=$(mktemp -d "${TMPDIR:-/tmp}/linepeek_netshare.XXXXXX")
mnt=$work/mnt

# Ends a process this script started: SIGTERM, then SIGKILL after 5 s. Bash reaps its children
# as they end, so one that is gone is not signalled.
stop() {
  local pid=$1 tenths=0
  [ -n "$pid" ] || return 0
  ! kill -0 "$pid" 2> /dev/null || kill -TERM "$pid" 2> /dev/null || true
  while kill -0 "$pid" 2> /dev/null && [ $tenths -lt 50 ]; do
    sleep 0.1
    tenths=$((tenths + 1))
  done
  ! kill -0 "$pid" 2> /dev/null || kill -KILL "$pid" 2> /dev/null || true
  wait "$pid" 2> /dev/null || true
}

cleanup() {
  set +e
  trap - EXIT INT TERM HUP
  stop "$command_pid"
  stop "$sshfs_pid"
  stop "$relay_pid"
  stop "$sshd_pid"
  if mountpoint -q "$mnt" 2> /dev/null; then
    fusermount -u "$mnt" 2> /dev/null || fusermount -u -z "$mnt"
  fi
  # --one-file-system: should a mount still stand, the files behind it are left alone.
  rm -rf --one-file-system "$work"
  [ $made_privsep = 0 ] || rmdir /run/sshd
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# The modules to measure, each copied into a folder of its own without a linepeek.ini, so all
# run on the default settings: sixteen fields, indexes 0 to 15.
labels=() modules=() paths=()
for item in ${MODULES:-current=$build/linepeek.so}; do
  case $item in *=*) label=${item%%=*} path=${item#*=} ;; *) label=m$((${#labels[@]} + 1)) path=$item ;; esac
  [ -f "$path" ] || die "no module $path"
  mkdir -p "$work/modules/${#labels[@]}"
  cp "$path" "$work/modules/${#labels[@]}/linepeek.so"
  modules+=("$work/modules/${#labels[@]}/linepeek.so")
  labels+=("$label")
  paths+=("$path")
done

mkdir "$work/local" "$work/share" "$work/empty" "$mnt" "$work/ssh"
"$build/bench/linepeek_bench_data" rows "$files" "$work/local"
cp -p "$work/local"/* "$work/share/"
sync

drop=1
{ echo 3 > /proc/sys/vm/drop_caches; } 2> /dev/null || drop=0
drop_caches() { [ $drop = 0 ] || echo 3 > /proc/sys/vm/drop_caches; }

# sshd on a free port of 127.0.0.1, with its own host key and one user key.
if [ ! -d /run/sshd ]; then
  mkdir -m 755 /run/sshd
  made_privsep=1
fi
ssh-keygen -q -t ed25519 -N '' -C netshare-host -f "$work/ssh/host_key"
ssh-keygen -q -t ed25519 -N '' -C netshare-user -f "$work/ssh/user_key"
cp "$work/ssh/user_key.pub" "$work/ssh/authorized_keys"
for _ in 1 2 3 4 5; do
  sshd_port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat > "$work/ssh/sshd_config" << EOF
ListenAddress 127.0.0.1:$sshd_port
HostKey $work/ssh/host_key
PidFile none
AuthorizedKeysFile $work/ssh/authorized_keys
AuthenticationMethods publickey
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
PermitRootLogin prohibit-password
AllowUsers $(id -un)
StrictModes no
UseDNS no
Subsystem sftp internal-sftp
LogLevel INFO
EOF
  /usr/sbin/sshd -D -e -f "$work/ssh/sshd_config" 2> "$work/sshd.log" &
  sshd_pid=$!
  for tenths in $(seq 100); do
    grep -q 'Server listening' "$work/sshd.log" && break
    kill -0 "$sshd_pid" 2> /dev/null || break
    sleep 0.1
  done
  grep -q 'Server listening' "$work/sshd.log" && break
  stop "$sshd_pid"
  sshd_pid=''
done
[ -n "$sshd_pid" ] || die "sshd did not start: $(cat "$work/sshd.log")"

"$python" "$root/bench/delay_relay.py" "$delay_ms" "$sshd_port" "$work/relay.ports" &
relay_pid=$!
for tenths in $(seq 100); do
  [ -f "$work/relay.ports" ] && break
  kill -0 "$relay_pid" 2> /dev/null || break
  sleep 0.1
done
[ -f "$work/relay.ports" ] || die "the relay did not start"
read -r relay_port control_port < "$work/relay.ports"
echo "[127.0.0.1]:$relay_port $(cat "$work/ssh/host_key.pub")" > "$work/ssh/known_hosts"

# Round trips counted by the relay so far.
trips() {
  local count rest
  exec 9<> "/dev/tcp/127.0.0.1/$control_port"
  read -r -t 5 count rest <&9
  exec 9<&-
  echo "$count"
}

ssh_options="port=$relay_port,IdentityFile=$work/ssh/user_key,IdentitiesOnly=yes"
ssh_options="$ssh_options,UserKnownHostsFile=$work/ssh/known_hosts,GlobalKnownHostsFile=/dev/null"
ssh_options="$ssh_options,StrictHostKeyChecking=yes,BatchMode=yes"
revalidating=dir_cache=no,attr_timeout=0,entry_timeout=0

# MOUNT (default or revalidating): mounts the share on $mnt; sshfs stays in the foreground of a
# background job, so its pid is known.
mount_share() {
  local options=$ssh_options tenths
  [ "$1" = default ] || options="$options,$revalidating"
  sshfs -f -F /dev/null -o "$options" "$(id -un)@127.0.0.1:$work/share" "$mnt" \
    2> "$work/sshfs.log" &
  sshfs_pid=$!
  for tenths in $(seq 100); do
    mountpoint -q "$mnt" && return 0
    kill -0 "$sshfs_pid" 2> /dev/null || break
    sleep 0.1
  done
  die "sshfs did not mount: $(cat "$work/sshfs.log")"
}

unmount_share() {
  local tenths
  fusermount -u "$mnt"
  for tenths in $(seq 50); do
    kill -0 "$sshfs_pid" 2> /dev/null || break
    sleep 0.1
  done
  stop "$sshfs_pid"
  sshfs_pid=''
}

# KIND MODULE DIR: one contender, in a subshell that becomes the command. Its output names no
# folder (the driver prints a digest of the answers), so every mount gives the same output.
cli_fields='Type,Encoding,Line count,1,-1'
contender() {
  cd "$3"
  case $1 in
    cat) exec cat * ;;
    row) exec "$driver" "$2" row "$3" ;;
    field) exec "$driver" "$2" field 0 "$3" ;;
    cli1) exec "$cli" --module "$2" -f "$cli_fields" -j 1 . ;;
    cli2) exec "$cli" --module "$2" -f "$cli_fields" -j 2 . ;;
    dos2unix) exec dos2unix --info * ;;
    uchardet) exec uchardet * ;;
  esac
}
kinds="cat row field cli1 cli2 dos2unix uchardet"
module_kinds=" row field cli1 cli2 "
declare -A title=(
  [cat]='cat *' [row]='16 fields, one instance' [field]='1 field' [cli1]='linepeek-cli, 5 fields, -j 1'
  [cli2]='linepeek-cli, 5 fields, -j 2' [dos2unix]='dos2unix --info' [uchardet]='uchardet'
)
declare -A where=([local]='local disk' [default]='share, default caching' [revalidating]='share, revalidating')

declare -A micros roundtrips output
mismatch=''

# MOUNT KIND INDEX (of the module, or - for the peers): one timed run on a fresh mount after
# dropped caches. The contender runs in the background so that a signal reaches the trap.
measure() {
  local dir=$work/local module=${modules[0]} label=- start end status before=0 after=0 sum
  [ "$1" = local ] || { mount_share "$1"; dir=$mnt; }
  [ "$3" = - ] || { module=${modules[$3]}; label=${labels[$3]}; }
  drop_caches
  [ "$1" = local ] || before=$(trips)
  start=$EPOCHREALTIME
  contender "$2" "$module" "$dir" > "$work/out" 2> "$work/err" &
  command_pid=$!
  wait "$command_pid" && status=0 || status=$?
  end=$EPOCHREALTIME
  command_pid=''
  [ "$1" = local ] || { after=$(trips); unmount_share; }
  [ $status = 0 ] || die "${title[$2]} ($label) on ${where[$1]} failed ($status): $(head -5 "$work/err")"
  local key="$1 $2 $label"
  micros[$key]="${micros[$key]:-} $((${end/./} - ${start/./}))"
  roundtrips[$key]="${roundtrips[$key]:-} $((after - before))"
  # Every mount, round and module must give the same output as the first run of this kind.
  sum=$(md5sum < "$work/out")
  if [ -z "${output[$2]:-}" ]; then
    output[$2]=$sum
  elif [ "${output[$2]}" != "$sum" ]; then
    mismatch="$mismatch; ${title[$2]} ($label) on ${where[$1]}"
  fi
  printf '%s  %-29s %-10s %8.3f s  %6d round trips\n' "$1" "${title[$2]}" "$label" \
    "$(((${end/./} - ${start/./}) / 1000))e-3" $((after - before)) >&2
}

# Median, min and max of integers.
stats() { printf '%s\n' $1 | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)], v[1], v[NR] }'; }

echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
echo "kernel: $(uname -r); $(sshfs --version 2>&1 | grep -m1 SSHFS); $(ssh -V 2>&1); $(dos2unix --version | head -1); uchardet $(uchardet --version | sed -n 's/^Version //p')"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes)"
echo "files: $files of $(du -sk "$work/local" | cut -f1) KiB; rounds: $rounds; relay delay: $delay_ms ms each way"
if [ $drop = 1 ]; then
  echo "caches: dropped before every run (echo 3 > /proc/sys/vm/drop_caches)"
else
  echo "caches: not dropped (writing /proc/sys/vm/drop_caches is not permitted here); a fresh mount before every run"
fi
for i in "${!labels[@]}"; do echo "module ${labels[$i]}: ${paths[$i]}"; done

# The round trip as a program sees it: a stat on the revalidating share is one request.
mount_share revalidating
before=$(trips)
stat_ms=$("$python" -c '
import os, sys, time
start = time.monotonic()
for _ in range(200): os.stat(sys.argv[1])
print("%.2f" % ((time.monotonic() - start) / 200 * 1000))' "$mnt/f00000.txt")
stat_trips=$(($(trips) - before))
awk -v ms="$stat_ms" -v trips="$stat_trips" 'BEGIN {
  printf "a stat on the revalidating share: %.2f ms, %.2f round trips, %.2f ms per round trip\n",
    ms, trips / 200, ms * 200 / trips }'
unmount_share

for ((round = 0; round < rounds; round++)); do
  for place in local default revalidating; do
    for kind in $kinds; do
      if [[ $module_kinds == *" $kind "* ]]; then
        # The modules take turns going first, round by round.
        for ((step = 0; step < ${#modules[@]}; step++)); do
          measure "$place" "$kind" $(((step + round) % ${#modules[@]}))
        done
      else
        measure "$place" "$kind" -
      fi
    done
  done
done

median_of() { stats "${micros[$1]}" | cut -d' ' -f1; }
echo
echo "== seconds for $files files, median of $rounds (min, max); / cat * on the same mount; round trips per file"
printf '%-24s %-30s %-10s %9s %9s %9s %8s %8s\n' mount contender module median min max '/ cat' trips
for place in local default revalidating; do
  cat_median=$(median_of "$place cat -")
  for kind in $kinds; do
    if [[ $module_kinds == *" $kind "* ]]; then row_labels=("${labels[@]}"); else row_labels=(-); fi
    for label in "${row_labels[@]}"; do
      key="$place $kind $label"
      read -r mid low high <<< "$(stats "${micros[$key]}")"
      trip=$(stats "${roundtrips[$key]}" | cut -d' ' -f1)
      printf '%-24s %-30s %-10s %9.3f %9.3f %9.3f %8.2f %8s\n' "${where[$place]}" "${title[$kind]}" \
        "$label" "${mid}e-6" "${low}e-6" "${high}e-6" "$(awk "BEGIN { print $mid / $cat_median }")" \
        "$([ "$place" = local ] && echo - || awk "BEGIN { printf \"%.1f\", $trip / $files }")"
    done
  done
done

echo
echo "== goals for sixteen fields, one instance (medians)"
first=${labels[0]}
for label in "${labels[@]}"; do
  awk -v label="$label" -v first="$first" -v d="$(median_of "default row $label")" \
    -v dc="$(median_of "default cat -")" -v r="$(median_of "revalidating row $label")" \
    -v rc="$(median_of "revalidating cat -")" -v l="$(median_of "local row $label")" \
    -v lf="$(median_of "local row $first")" 'BEGIN {
      printf "%-10s default caching %.2f x cat * (goal <= 1.5: %s); revalidating %.2f x (goal <= 6: %s); local disk %.3f s, %.3f x %s\n",
        label, d / dc, d / dc <= 1.5 ? "met" : "not met", r / rc, r / rc <= 6 ? "met" : "not met",
        l / 1e6, l / lf, first }'
done

echo
echo "== system calls per row: strace -f -c of the sixteen fields on the local disk, less a run on an empty folder, / $files"
for i in "${!modules[@]}"; do
  strace -f -c -o "$work/strace.full" "$driver" "${modules[$i]}" row "$work/local" > /dev/null
  strace -f -c -o "$work/strace.empty" "$driver" "${modules[$i]}" row "$work/empty" > /dev/null || true
  awk -v files="$files" '
    $1 ~ /^[0-9.]+$/ && $NF != "total" { calls[$NF] += FILENAME ~ /empty$/ ? -$4 : $4 }
    END { for (name in calls) if (calls[name] / files >= 0.005) printf "%.2f %s\n", calls[name] / files, name }' \
    "$work/strace.full" "$work/strace.empty" | sort -rn > "$work/calls"
  printf '%-10s %.2f: %s\n' "${labels[$i]}" "$(awk '{ total += $1 } END { print total }' "$work/calls")" \
    "$(awk '{ printf "%s%s %s", (NR > 1 ? ", " : ""), $2, $1 }' "$work/calls")"
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"

if [ -n "$mismatch" ]; then
  echo "output differs from the first run of the same contender:${mismatch#;}" >&2
  exit 1
fi
