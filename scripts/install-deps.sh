#!/usr/bin/env bash
# Installs what the builds and tests need and is missing (Debian packages by name), and makes
# sure the ru_RU.UTF-8 locale exists for the second Wine run. Needs root when anything is
# missing; does nothing when everything is there.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(g++ cmake ninja-build googletest libgtest-dev libbenchmark-dev clang clang-format
          clang-tidy libclang-rt-14-dev g++-mingw-w64-x86-64 wine wine64 locales python3
          valgrind dpkg-dev file lintian mandoc)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
need_locale=0
locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8' || need_locale=1
if [ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ]; then exit 0; fi

if [ "$(id -u)" -ne 0 ]; then
  [ $need_locale -eq 1 ] && missing+=("the ru_RU.UTF-8 locale")
  echo "missing: ${missing[*]}; run as root:" >&2
  echo "  sudo $0" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  apt-get update -qq || { sleep 10; apt-get update -qq; }
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  echo "== generating the ru_RU.UTF-8 locale"
  sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen 2>/dev/null || true
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
