#!/usr/bin/env bash
# Runs fuzz targets long, one at a time with one job, and prints each one's final stats.
# Usage: scripts/fuzz-long.sh [seconds] [runs] [target...]
#   seconds  time limit per target (default 900), runs  execution limit (default 10000000),
#   targets  default: every target in build/fuzz/fuzz.
# The working corpus of a target is /tmp/fuzz-corpus/<target>, seeded from fuzz/corpus;
# crash reproducers land in /tmp/fuzz-artifacts/. Build first: cmake --build --preset fuzz.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-900}"
runs="${2:-10000000}"
shift $(( $# < 2 ? $# : 2 ))
bin="$root/build/fuzz/fuzz"
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for dir in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
mkdir -p /tmp/fuzz-artifacts
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/fuzz/ubsan.supp"
for target in "${targets[@]}"; do
  corpus="/tmp/fuzz-corpus/$target"
  mkdir -p "$corpus"
  cp -n "$root/fuzz/corpus/$target"/* "$corpus"/ 2>/dev/null || true
  dict=()
  if [ -f "$root/fuzz/dict/$target.dict" ]; then dict=(-dict="$root/fuzz/dict/$target.dict"); fi
  log="/tmp/fuzz-artifacts/$target.log"
  echo "== $target (at most ${seconds}s, ${runs} runs)"
  "$bin/$target" -runs="$runs" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="/tmp/fuzz-artifacts/$target-" "${dict[@]}" "$corpus" >"$log" 2>&1
  status=$?
  grep -E '^#[0-9]+' "$log" | tail -1
  grep -E '^(Done|stat::|SUMMARY|==[0-9]+==ERROR|==== fuzz check failed)' "$log" | tail -12
  echo "   exit $status, corpus $(ls "$corpus" | wc -l) files, log $log"
done
