#!/usr/bin/env bash
# Runs every libFuzzer binary in DIR for SECONDS each; fails on the first crash, leak or time-out.
set -euo pipefail
dir=${1:?usage: run_fuzzers.sh DIR [SECONDS]}
seconds=${2:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
count=0
failed=0
for fuzzer in "$dir"/*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  work=$(mktemp -d)
  seeds=()
  [ -d "$root/tests/fuzz_corpus/$name" ] && seeds=("$root/tests/fuzz_corpus/$name")
  echo "fuzz: $name for ${seconds}s"
  if "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
       -artifact_prefix="$work/" "$work" "${seeds[@]}" >"$work/log" 2>&1; then
    echo "fuzz: $name passed"
  else
    echo "fuzz: $name FAILED"; tail -50 "$work/log"; failed=$((failed + 1))
  fi
  rm -rf "$work"
  count=$((count + 1))
done
echo "fuzz: $count targets run, $failed with findings"
[ "$failed" -eq 0 ]
