#!/usr/bin/env bash
# replay.sh <target> <scratch dir> <runs> <corpus dirs...>
# Runs every input of the corpus dirs, then <runs> fuzzed inputs from a fixed
# seed. New inputs go to the scratch dir (the first corpus dir libFuzzer is
# given), never into the committed corpora.
set -euo pipefail
target=$1 scratch=$2 runs=$3
shift 3
rm -rf "$scratch"
mkdir -p "$scratch"
exec "$target" -seed=1 -runs="$runs" -timeout=30 -artifact_prefix="$scratch/" "$scratch" "$@"
