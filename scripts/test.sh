#!/usr/bin/env bash
# Installs what is needed, builds everything (the program, the simulated
# library, both drivers for the host and for Windows) and runs every test,
# first in the normal build, then under AddressSanitizer + UBSan; the normal
# build is also made into the Debian package and that is checked; then the
# fuzz targets replay their corpora; last, the Windows builds (32- and 64-bit,
# cross-built with mingw-w64) make their MSI packages and run their tests under
# Wine, the packages' install, upgrade and removal among them, after the Linux
# ones so that a Linux failure shows first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh all
bash scripts/format.sh --check

jobs=$(nproc)
for preset in default asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
  if [ "$preset" = default ]; then
    bash scripts/package-check.sh build/default
  fi
done

# The fuzz targets alone, built with clang's libFuzzer, each replaying its
# corpus and regression cases and then a bounded number of fuzzed runs.
echo "== fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz -j "$jobs"

for preset in win32 win64; do
  echo "== $preset"
  start=$SECONDS
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
  echo "== $preset: configure, build and tests in $((SECONDS - start)) s"
done
