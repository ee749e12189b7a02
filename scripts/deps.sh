#!/usr/bin/env bash
# Installs everything the build, the program and the tests need, from Debian
# packages only. Packages already present are skipped, so it is cheap to rerun.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n
  libpci-dev pciutils
  fonts-ipafont-gothic
  wine64
  xvfb xauth
  dpkg-dev file lintian desktop-file-utils appstream librsvg2-bin
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  openssl osslsigncode
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
