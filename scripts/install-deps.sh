#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the fuzzers, the
# benchmarks and the demo need. Idempotent: packages already present are
# not touched and nothing is printed for them.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-format
  # 32-bit compiles that check the layouts of the records shared with the host
  g++-multilib
  # independent xBase oracles
  python3 python3-dbf python3-dbfread gdal-bin fp-compiler fp-units-db
  libdbd-xbase-perl
  # GDAL's Python binding (the data-file writing benchmark's updates)
  python3-gdal
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
