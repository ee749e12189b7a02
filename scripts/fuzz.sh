#!/usr/bin/env bash
# Runs every fuzz target for a while and prints, per target, the inputs it
# ran and what it found.
#
#   bash scripts/fuzz.sh [seconds-per-target] [target-name-filter]
#
# Each target starts from its committed corpus and regression cases and keeps
# what it learns in build/fuzz/campaign/<target>/corpus, so a second campaign
# goes on from the first. A finding stops libFuzzer; the target is started
# again until its time is up. The input of each finding is kept in
# build/fuzz/campaign/<target>/findings: commit it under the target's regress
# folder once the fault is mended.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
filter=${2:-}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null

export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

campaign=build/fuzz/campaign
total=0
printf '%-20s %14s %9s  %s\n' target executions findings "what was found (numbers as N)"
while read -r name binary dirs; do
  [[ -n "$filter" && "$name" != *"$filter"* ]] && continue
  work=$campaign/$name
  mkdir -p "$work/corpus" "$work/findings"
  : >"$work/found.txt"
  execs=0 findings=0
  # Targets that draw text need the slow unwinder to see fontconfig's frames (tests/lsan.supp).
  asan=detect_leaks=1
  grep -qx "$name" build/fuzz/fuzz_slow_unwind.txt && asan=$asan:fast_unwind_on_malloc=0
  deadline=$(($(date +%s) + seconds))
  while left=$((deadline - $(date +%s))); ((left > 0)); do
    log=$work/run.log
    # shellcheck disable=SC2086 # the corpus dirs are one word each
    if ASAN_OPTIONS=$asan "$binary" -max_total_time="$left" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$work/findings/" "$work/corpus" $dirs >"$log" 2>&1; then
      finished=1
    else
      finished=0
      findings=$((findings + 1))
      # The first line that says what went wrong: our own invariants, a
      # sanitizer, libFuzzer's time-out or leak report.
      grep -m1 -E '^finding:|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log" \
        >>"$work/found.txt" || echo "(see $log)" >>"$work/found.txt"
      cp "$log" "$work/findings/run-$findings.log"
    fi
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    execs=$((execs + ${n:-0}))
    ((finished)) && break
    # A target that cannot start (a missing corpus, a crash on loading) would
    # only fail again: say so once and go on to the next target.
    if [ -z "$n" ] && ! grep -q '^finding:\|ERROR:' "$log"; then
      echo "$name: did not run; see $log" >&2
      break
    fi
  done
  total=$((total + execs))
  printf '%-20s %14d %9d  %s\n' "$name" "$execs" "$findings" \
    "$(sed -E 's/[0-9]+/N/g' "$work/found.txt" | sort | uniq -c | sed 's/^ *//' | paste -sd ';' -)"
done <build/fuzz/fuzz_targets.txt
printf '%-20s %14d\n' total "$total"
