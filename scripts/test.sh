#!/usr/bin/env bash
# Builds and runs the test suite. Usage: scripts/test.sh [preset]   (default: dev;
# also x86, asan, release, release-x86, windows). Installs what is missing first. The
# windows preset cross-builds the DLL and runs its tests under Wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
preset="${1:-dev}"
case "$preset" in
  x86) bash scripts/install-deps.sh x86 ;;
  release-x86) bash scripts/install-deps.sh x86-bench ;;
  windows) bash scripts/install-deps.sh windows ;;
  dev|asan|release) bash scripts/install-deps.sh ;;
  *) echo "test.sh: unknown preset '$preset' (dev, x86, asan, release, release-x86, windows)" >&2; exit 2 ;;
esac
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
