#!/usr/bin/env bash
# Installs what the build, the program and the tests need, from Debian packages only.
# Packages already present are skipped, so it is cheap to rerun.
#
#   deps.sh run   what building and running the Linux program needs (scripts/run.sh)
#   deps.sh all   everything the test command builds and runs (the default): also the
#                 drivers' and the Windows cross-builds with their resources and
#                 MSI packages, Wine for 64- and 32-bit programs and the window
#                 checks under it, the package check and the fuzzing compiler
set -euo pipefail

set_name=${1:-all}

run_packages=(
  cmake ninja-build g++ pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n
  libpci-dev pciutils
  fonts-ipafont-gothic
  xvfb xauth
  librsvg2-bin
)
all_packages=(
  "${run_packages[@]}"
  clang-format
  wine64 wine32:i386
  openbox xdotool x11-utils imagemagick
  dpkg-dev file lintian desktop-file-utils appstream
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
  openssl osslsigncode
  icoutils wixl msitools
  clang libclang-rt-14-dev
)

case $set_name in
  run) packages=("${run_packages[@]}") ;;
  all) packages=("${all_packages[@]}") ;;
  *) echo "usage: deps.sh [run|all]" >&2; exit 2 ;;
esac

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# 32-bit Windows programs run on Wine's 32-bit half, a package of the i386
# architecture, which apt knows only once dpkg does.
update=false
if [ "$set_name" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "deps: adding the i386 architecture (for wine32)"
  $sudo dpkg --add-architecture i386
  update=true
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ] && [ "$update" = false ]; then
  echo "deps: all ${#packages[@]} packages present"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
