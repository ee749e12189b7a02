#!/usr/bin/env bash
# Installs what is needed, builds the program with the simulated board library
# and starts it. Without a display the program is started on a virtual one,
# and a screenshot of its window is written to a file named below.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh run
cmake --preset default >/dev/null
cmake --build --preset default --target tavrin lumbra tavrin-xshot -j "$(nproc)"
bin="$PWD/build/default/bin"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting tavrin on the simulated board (2 Orvel chips)."
  exec "$bin/tavrin"
fi

shot="$PWD/build/tavrin-screenshot.png"
echo "No display found: starting tavrin on a virtual X display instead."
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  "$1/tavrin" & pid=$!
  sleep 3
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"; echo "tavrin ended early (exit code $?)." >&2; exit 1
  fi
  "$1/tavrin-xshot" "$2"; rc=$?
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  exit $rc
' _ "$bin" "$shot"
echo "tavrin started and showed its main window; a screenshot is in $shot"
echo "Run this command again from a desktop session to use the program."
