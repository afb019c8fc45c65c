#!/usr/bin/env bash
# Builds and runs the test suite. Usage: scripts/test.sh [preset]   (default: dev;
# also x86, asan, tsan, release, release-x86, windows, fuzz). Installs what is missing
# first. The windows preset cross-builds the DLL and runs its tests under Wine; tsan runs
# the suites that touch threads; fuzz runs every fuzz target briefly over its seeds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
preset="${1:-dev}"
case "$preset" in
  x86) bash scripts/install-deps.sh x86 ;;
  release-x86) bash scripts/install-deps.sh x86-bench ;;
  windows) bash scripts/install-deps.sh windows ;;
  fuzz) bash scripts/install-deps.sh fuzz ;;
  dev|asan|tsan|release) bash scripts/install-deps.sh ;;
  *) echo "test.sh: unknown preset '$preset' (dev, x86, asan, tsan, release, release-x86, windows, fuzz)" >&2
     exit 2 ;;
esac
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
