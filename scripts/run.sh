#!/usr/bin/env bash
# The main job: install what is missing, build the plug-in and the development host, and
# play the post-game example in the host:
#   bash scripts/run.sh                      qiv-host scenario examples/post-game.json
#   bash scripts/run.sh ARGUMENTS...         qiv-host ARGUMENTS...   (e.g. routes, call, run)
#   bash scripts/run.sh serve [--port N]     the REST API over HTTP on 127.0.0.1 (Ctrl-C ends it)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target qiv-host qpx-be-qiv-honor-v2
if [ "$#" -eq 0 ]; then
  set -- scenario examples/post-game.json
fi
exec build/dev/host/qiv-host "$@"
