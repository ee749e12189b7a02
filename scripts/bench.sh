#!/usr/bin/env bash
# Builds the program and the benchmarks (the default preset, RelWithDebInfo),
# runs them and prints the table; the same table, with a description of the
# machine, is written to docs/bench-results.md, which docs/performance.md links.
# Takes a minute or two. Figures are medians, but a busy machine still moves
# them: run it on a quiet one when you can.
# Where the win32 or win64 build trees exist (cmake --preset win64 ...), their
# start-up benchmark runs too, under Wine, and the user actions where that
# build has them; the Windows builds are brought up to date, not made.
#   BENCH_RUNS=N   interleaved start-up runs of each program (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target tavrin lumbra tavrin_bench_floor tavrin_bench_first_paint tavrin_bench_startup \
  tavrin_bench_actions tavrin_bench_delvan tavrin_bench_ostrak >/dev/null
bin=build/default/bin
out=docs/bench-results.md
runs=${BENCH_RUNS:-20}
export QT_QPA_PLATFORM=offscreen

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
mem=$(free -m | awk '/^Mem:/ {printf "%.1f GiB", $2 / 1024}')
os=$(. /etc/os-release && echo "$PRETTY_NAME")
qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo unknown)
cxx=$(g++ --version | head -1)

# The Windows program under Wine, for each Windows build tree there is.
windows_section() {
  local preset tree loader wbin wine_version
  for preset in win32 win64; do
    tree=build/$preset
    [ -f "$tree/build.ninja" ] || continue
    cmake --build --preset "$preset" -j "$(nproc)" --target tavrin lumbra tavrin_bench_startup >/dev/null
    loader=wine64
    [ "$preset" = win32 ] && loader=wine
    wbin=$PWD/$tree/bin
    wine_version=$(/usr/lib/wine/$loader --version)
    export WINE=/usr/lib/wine/$loader WINESERVER=/usr/lib/wine/wineserver
    bash tests/wine/wine_prefix.sh boot "$PWD/$tree/wine/prefix" >/dev/null
    echo
    echo "## Windows (under Wine): $preset"
    echo
    echo "$wine_version, $preset preset (RelWithDebInfo, mingw-w64), Xvfb with openbox."
    echo
    # The program and the floor without their debugging information, as installed.
    bash bench/win32/wine_run.sh "$PWD/$tree/wine/prefix" "$wbin/tavrin_bench_startup.exe" \
      "$PWD/$tree/bench/shipped/tavrin.exe" "$PWD/$tree/bench/shipped/tavrin_bench_floor.exe" \
      "$wbin/tavrin_bench_first_paint.dll" --runs "$runs" --warmup 2
    if cmake --build --preset "$preset" -j "$(nproc)" --target tavrin_bench_actions >/dev/null 2>&1; then
      echo
      echo "Median wall time of 7 repetitions on one CPU (the Wine server's share included); the real controls"
      echo "driven through the Win32 test driver, the simulated library with its clock stopped."
      echo
      bash bench/win32/wine_run.sh "$PWD/$tree/wine/prefix" "$wbin/tavrin_bench_actions.exe"
    fi
  done
}

table=$(mktemp)
trap 'rm -f "$table"' EXIT
{
  echo "# Benchmark results"
  echo
  echo "Written by \`bash scripts/bench.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo
  echo "- Machine: ${cpu:-unknown CPU}, $(nproc) cores, $mem; $os, Linux $(uname -r)"
  echo "- Build: default preset (RelWithDebInfo), $cxx, Qt $qt, offscreen platform"
  echo "- Load average when the run started: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "## Start-up"
  echo
  "$bin/tavrin_bench_startup" "$bin/tavrin" "$bin/tavrin_bench_floor" "$bin/libtavrin_bench_first_paint.so" --runs "$runs" --warmup 2
  echo
  echo "## User actions and the library binding"
  echo
  echo "Median CPU time of 7 repetitions; the real widgets off-screen, the simulated library with its clock stopped."
  echo
  "$bin/tavrin_bench_actions"
  echo
  echo "## Driver requests"
  echo
  echo "One request through the host build of the driver's dispatch routine (kernel substitute included)."
  echo
  echo "| Request | Time per request |"
  echo "|---|---:|"
  "$bin/tavrin_bench_delvan"
  "$bin/tavrin_bench_ostrak"
  windows_section
} >"$table"
cat "$table"
cp "$table" "$out"
echo
echo "bench: table written to $out"
