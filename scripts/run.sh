#!/usr/bin/env bash
# The main job: install what is missing, build the plug-in and the development host, and
# run the host on the plug-in. Extra arguments go to qiv-host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target qiv-host qpx-be-qiv-honor-v2
exec build/dev/host/qiv-host "$@"
