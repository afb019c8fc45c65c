#!/usr/bin/env bash
# Builds the release builds (release, release-trace, release-x86), runs every benchmark
# executable of each and writes the report docs/benchmarks.md with its chart
# docs/benchmarks-throughput.svg (scripts/bench_report.py).
#
#   scripts/bench.sh [--quick] [--no-build] [--only PRESET]...
#
#   --quick       a smoke run: short minimum times, no repetitions
#   --no-build    run what is already built (a build that is missing is skipped)
#   --only PRESET this build alone (may be given more than once)
#
# Side-by-side benchmarks (names holding "SideBySide") run with a minimum time of one
# second, three times; the report takes the median of each counter. The others run once
# with the library's default minimum time. Results (Google Benchmark JSON, one file per
# executable and pass) go to <build root>/bench-results/<preset>/.
#
# Environment: QIV_BENCH_BUILD_ROOT (default build/) holds the build directories
# (<root>/<preset>) and the results; QIV_BENCH_JOBS (default: every core) the parallel
# build jobs. release-x86 is skipped, with a note in the report, when it does not
# configure: its 32-bit Google Benchmark comes with `scripts/install-deps.sh x86-bench`.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build_root="${QIV_BENCH_BUILD_ROOT:-$root/build}"
jobs="${QIV_BENCH_JOBS:-$(nproc)}"
results="$build_root/bench-results"

quick=0
build=1
presets=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --no-build) build=0 ;;
    --only)
      [ "$#" -ge 2 ] || { echo "bench: --only needs a preset" >&2; exit 2; }
      case "$2" in
        release | release-trace | release-x86) presets+=("$2") ;;
        *) echo "bench: unknown preset '$2' (expected: release, release-trace, release-x86)" >&2; exit 2 ;;
      esac
      shift ;;
    -h | --help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench: unknown argument '$1' (expected: --quick, --no-build, --only PRESET)" >&2; exit 2 ;;
  esac
  shift
done
if [ "${#presets[@]}" -eq 0 ]; then presets=(release release-trace release-x86); fi

if [ "$quick" -eq 1 ]; then
  side_args=(--benchmark_min_time=0.05)
  other_args=(--benchmark_min_time=0.01)
else
  side_args=(--benchmark_min_time=1 --benchmark_repetitions=3)
  other_args=()
fi

# Writes the reason a build has no results where the report finds it.
skip() {
  local preset="$1"
  shift
  local reason="$*"
  echo "bench: $preset skipped: $reason" >&2
  mkdir -p "$results/$preset"
  printf '%s\n' "$reason" >"$results/$preset/SKIPPED"
}

# The benchmark executables of a configured build, by target name.
bench_targets() {
  ninja -C "$1" -t targets all | sed -n 's|^bench/\(.*/\)\{0,1\}\([A-Za-z0-9_]*_bench\): .*|\2|p' | sort -u
}

# Runs one executable's benchmarks matching a filter into a JSON file; a filter that
# matches nothing writes no file. A failing run is reported and left out, not fatal.
run_pass() {
  local exe="$1" filter="$2" out="$3"
  shift 3
  if [ -z "$("$exe" --benchmark_filter="$filter" --benchmark_list_tests 2>/dev/null)" ]; then
    return 0
  fi
  echo "bench: $(basename "$exe") --benchmark_filter=$filter $*"
  # The JSON goes to the file; the console table to a log beside it.
  if ! "$exe" --benchmark_filter="$filter" --benchmark_out_format=json --benchmark_out="$out" "$@" \
      >"$out.log" 2>&1; then
    echo "bench: $(basename "$exe") failed; see $out.log" >&2
    mv -f "$out" "$out.failed" 2>/dev/null || true
    failures=$((failures + 1))
  fi
}

failures=0
mkdir -p "$results"
for preset in "${presets[@]}"; do
  dir="$build_root/$preset"
  rm -rf "${results:?}/$preset"
  mkdir -p "$results/$preset"
  if [ "$build" -eq 1 ]; then
    if ! cmake --preset "$preset" -B "$dir" >"$results/$preset/configure.log" 2>&1; then
      if [ "$preset" = release-x86 ]; then
        skip "$preset" "the build does not configure (its 32-bit Google Benchmark comes with" \
          "scripts/install-deps.sh x86-bench; see $results/$preset/configure.log)"
        continue
      fi
      cat "$results/$preset/configure.log" >&2
      echo "bench: $preset does not configure" >&2
      exit 1
    fi
    mapfile -t targets < <(bench_targets "$dir")
    if [ "${#targets[@]}" -eq 0 ]; then
      echo "bench: $preset has no benchmark targets (QIV_BUILD_BENCH off?)" >&2
      exit 1
    fi
    echo "bench: building ${targets[*]} in $dir"
    cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
  elif [ ! -d "$dir/bench" ]; then
    skip "$preset" "not built (--no-build given and $dir/bench is missing)"
    continue
  fi

  mapfile -t executables < <(find "$dir/bench" -type f -name '*_bench' -perm -u+x | sort)
  if [ "${#executables[@]}" -eq 0 ]; then
    skip "$preset" "no benchmark executable in $dir/bench"
    continue
  fi
  for exe in "${executables[@]}"; do
    name="$(basename "$exe")"
    run_pass "$exe" SideBySide "$results/$preset/$name.side-by-side.json" "${side_args[@]}"
    run_pass "$exe" -SideBySide "$results/$preset/$name.json" "${other_args[@]}"
  done
done

report_args=()
if [ "$quick" -eq 1 ]; then report_args+=(--quick); fi
python3 "$root/scripts/bench_report.py" --results "$results" --build-root "$build_root" \
  --markdown "$root/docs/benchmarks.md" --svg "$root/docs/benchmarks-throughput.svg" "${report_args[@]}"

if [ "$failures" -gt 0 ]; then
  echo "bench: $failures benchmark run(s) failed; the report leaves them out" >&2
  exit 1
fi
