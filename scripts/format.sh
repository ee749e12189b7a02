#!/usr/bin/env bash
# Formats every tracked C++ source with the tree's one .clang-format.
# With --check it changes nothing and fails, naming the files, if any source
# differs from its formatted form.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')
if [ "${1:-}" = "--check" ]; then
  bad=()
  for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then bad+=("$f"); fi
  done
  if [ ${#bad[@]} -gt 0 ]; then
    echo "format: ${#bad[@]} file(s) differ from .clang-format (run bash scripts/format.sh):" >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
  fi
  echo "format: ${#files[@]} files formatted"
else
  clang-format -i "${files[@]}"
fi
