#!/usr/bin/env bash
# Runs one libFuzzer target for a fixed time over its seed corpus, writing new
# inputs into a scratch folder so the corpus in the repository stays as it is.
# A crash, a sanitizer report or a leak fails the run, and the input that
# caused it is kept in the scratch folder (its path is printed).
#   scripts/run-fuzzer.sh <fuzzer> <seed corpus folder> <seconds>
set -euo pipefail
fuzzer=$1
seeds=$2
seconds=$3
scratch="$(dirname "$fuzzer")/fuzz-$(basename "$fuzzer")"
rm -rf "$scratch"
mkdir -p "$scratch/corpus" "$scratch/findings"
exec "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/findings/" \
  "$scratch/corpus" "$seeds"
