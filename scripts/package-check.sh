#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it as a user would
# meet it: menu entry and metainfo valid, lintian without errors, and, unpacked
# into a scratch root, `tavrin` on the PATH starting on the simulated board and
# painting its window on a virtual X display.
# Usage: scripts/package-check.sh [BUILD_DIR]   (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/default}" && pwd)

fail() {
  echo "package-check: $*" >&2
  exit 1
}

desktop=(app/desktop/*.desktop)
metainfo=(app/desktop/*.metainfo.xml)
desktop-file-validate "${desktop[@]}"
# --no-net: the screenshot's and home page's addresses are not fetched.
appstreamcli validate --no-net --strict "${metainfo[@]}"

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || fail "no package version in $build/CPackConfig.cmake"
release=$(grep -o -m1 '<release version="[^"]*"' "${metainfo[0]}" | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "newest release in the metainfo is $release, the program is $version"
for shot in $(grep -o '<image[^>]*>[^<]*' "${metainfo[0]}" | sed 's/.*>//; s|.*/||'); do
  [ -f "docs/screenshots/$shot" ] || fail "metainfo screenshot $shot is not in docs/screenshots"
done

deb="$build/tavrin_${version}_amd64.deb"
rm -f "$deb"
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack -G DEB failed"
[ -f "$deb" ] || fail "cpack made no $deb"
echo "== $(basename "$deb")"
dpkg-deb -f "$deb" Package Version Architecture Depends
contents=$(dpkg-deb -c "$deb")
awk '{ mode = $1; $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print mode, $0 }' <<<"$contents"

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

# Drivers built for Windows install as their own component; it must land too.
if grep -rqsE --include=cmake_install.cmake 'STREQUAL "x?driversx?"' "$build"; then
  grep -q ' \./usr/share/tavrin/drivers/.' <<<"$contents" || fail "the drivers were built but are not in the package"
fi

depends=$(dpkg-deb -f "$deb" Depends)
for need in fonts-ipafont-gothic libqt6widgets6 libc6; do
  grep -q "\b$need\b" <<<"$depends" || fail "Depends lacks $need: $depends"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
appstreamcli validate-tree --no-net --strict "$root" || fail "installed menu entry, metainfo and icon do not match"
[ -f "$root/usr/lib/tavrin/liblumbra.so" ] || fail "no liblumbra.so beside the program"
# The program opens the library by its full path in the program's own folder;
# the run path only serves a program whose folder the system does not tell.
dynamic=$(readelf -d "$root/usr/lib/tavrin/tavrin")
grep -qE 'Library (rpath|runpath): \[\$ORIGIN\]' <<<"$dynamic" || fail "installed program lacks the \$ORIGIN run path"

found=$(cd / && env PATH="$root/usr/bin:/usr/bin:/bin" bash -c 'command -v tavrin')
[ "$found" = "$root/usr/bin/tavrin" ] || fail "tavrin on the PATH is $found, not the package's"

# Started by name from an unrelated folder, with nothing from the build tree
# on the loader's path; the screenshot tool only looks at the screen.
shot="$build/package-screenshot.png"
rm -f "$shot"
mkdir -m 700 "$root/.xdg-runtime"
(cd "$root" && env -u LD_LIBRARY_PATH -u QT_PLUGIN_PATH PATH="$root/usr/bin:/usr/bin:/bin" QT_QPA_PLATFORM=xcb \
  XDG_RUNTIME_DIR="$root/.xdg-runtime" \
  xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  tavrin & pid=$!
  for _ in $(seq 60); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; echo "tavrin ended early (exit code $?)" >&2; exit 1; }
    if "$1" --painted "$2" 2>/dev/null; then break; fi
    sleep 0.5
  done
  grep -q " $3/usr/lib/tavrin/liblumbra.so$" /proc/$pid/maps || { echo "tavrin did not load the package'"'"'s liblumbra.so" >&2; kill "$pid"; exit 1; }
  "$1" --painted "$2"; rc=$?
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  exit $rc
' _ "$build/bin/tavrin-xshot" "$shot" "$root") || fail "the packaged tavrin did not start and paint its window"
echo "package-check: $(basename "$deb") passes; its window is in $shot"
