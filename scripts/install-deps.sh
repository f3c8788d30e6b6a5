#!/usr/bin/env bash
# Installs what the builds and tests need and is missing (Debian packages by name), fetches the
# source of the charset detector both modules link (uchardet, Debian's source package, pinned
# below) into third_party/, and makes sure the ru_RU.UTF-8 locale exists for the second Wine
# run. Needs root when anything is missing; does nothing when everything is there.
#   scripts/install-deps.sh          everything the tests, checks and packages need
#   scripts/install-deps.sh build    only what a native build needs (scripts/demo.sh)
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
root=$(cd "$(dirname "$0")/.." && pwd)

# The detector's source: Debian 12's uchardet 0.0.7-1, unpacked with dpkg-source. A download
# whose hashes differ from these fails; so does one that apt or dpkg-source cannot verify.
uchardet_version=0.0.7-1
uchardet_dir=$root/third_party/uchardet-0.0.7
uchardet_sha256=(
  "8e7d4a4104650d9c99a76fcb95ed3f7facac9ef390c36b854a41d62f4fa9967d  uchardet_0.0.7-1.dsc"
  "3fc79408ae1d84b406922fa9319ce005631c95ca0f34b205fad867e8b30e45b1  uchardet_0.0.7.orig.tar.xz"
  "d0e7503e7b996f1fa6b346852e5581f75e561212180fc8fac6903cc8965ae6a5  uchardet_0.0.7-1.debian.tar.xz"
)
source_list=/etc/apt/sources.list.d/linepeek-deb-src.sources

packages=(g++ cmake ninja-build dpkg-dev xz-utils)
if [ "${1:-}" != build ]; then
  packages+=(googletest libgtest-dev libbenchmark-dev clang clang-format clang-tidy
             libclang-rt-14-dev g++-mingw-w64-x86-64 wine wine64 locales python3 valgrind file
             lintian mandoc)
fi
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
need_locale=0
if [ "${1:-}" != build ]; then
  locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8' || need_locale=1
fi
need_source=0
[ -f "$uchardet_dir/src/uchardet.h" ] || need_source=1
if [ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ] && [ $need_source -eq 0 ]; then exit 0; fi

if [ "$(id -u)" -ne 0 ]; then
  [ $need_locale -eq 1 ] && missing+=("the ru_RU.UTF-8 locale")
  [ $need_source -eq 1 ] && missing+=("the uchardet source in $uchardet_dir")
  echo "missing: ${missing[*]}; run as root:" >&2
  echo "  sudo $0 $*" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  apt-get update -qq || { sleep 10; apt-get update -qq; }
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ $need_locale -eq 1 ]; then
  echo "== generating the ru_RU.UTF-8 locale"
  sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen 2>/dev/null || true
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi

if [ $need_source -eq 1 ]; then
  echo "== fetching the uchardet $uchardet_version source into ${uchardet_dir#"$root"/}"
  # apt-get source needs a deb-src entry: the archive the machine installs from, signed by
  # Debian's archive keyring like the deb entries.
  if ! apt-cache showsrc uchardet 2>/dev/null | grep -qx "Version: $uchardet_version"; then
    uri=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null |
      head -n 1)
    [ -n "$uri" ] || uri=$(sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) bookworm .*/\2/p' \
      /etc/apt/sources.list 2>/dev/null | head -n 1)
    [ -n "$uri" ] || { echo "no Debian archive found in the apt sources" >&2; exit 1; }
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' \
      "$uri" /usr/share/keyrings/debian-archive-keyring.gpg >"$source_list"
    apt-get update -qq || { sleep 10; apt-get update -qq; }
  fi
  download=$(mktemp -d "${TMPDIR:-/tmp}/linepeek-uchardet.XXXXXX")
  trap 'rm -rf "$download"' EXIT
  # apt fetches as its own user where that user may write.
  chown _apt "$download" 2>/dev/null || true
  (cd "$download" && apt-get source -qq --download-only "uchardet=$uchardet_version")
  (cd "$download" && printf '%s\n' "${uchardet_sha256[@]}" | sha256sum --quiet -c -) ||
    { echo "the uchardet $uchardet_version source differs from the pinned hashes" >&2; exit 1; }
  # dpkg-source checks the files against the .dsc; the maintainer's signature on it cannot be
  # checked without Debian's developer keyring, which the pinned hash makes unnecessary.
  (cd "$download" && dpkg-source -x "uchardet_$uchardet_version.dsc" unpacked \
    >dpkg-source.log 2>&1) || { cat "$download/dpkg-source.log" >&2; exit 1; }
  mkdir -p "$(dirname "$uchardet_dir")"
  mv "$download/unpacked" "$uchardet_dir"
fi
