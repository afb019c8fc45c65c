#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator of the windows preset's tests, usable by
# hand too (scripts/wine-run.sh build/windows/bin/qiv-host.exe --help).
#
# The Wine prefix is build/wine-prefix unless WINEPREFIX says otherwise; Wine's own
# diagnostics are off unless WINEDEBUG says otherwise. The first program of a run starts
# the Wine server and Wine's service processes with no output attached, and the server
# stays up 30 seconds after its last program: started by a test itself, those processes
# would inherit its output and CTest would wait for them to end.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  # wineserver -p fails with 2 when a server is up already and with 1 before the prefix exists.
  # The processes started here outlive the lock: they must not inherit its descriptor.
  if [ ! -d "$WINEPREFIX" ] || wineserver -p30 >/dev/null 2>&1 </dev/null 9>&-; then
    wine cmd /c exit >/dev/null 2>&1 </dev/null 9>&-
    wineserver -p30 >/dev/null 2>&1 </dev/null 9>&- || true
  fi
) 9>"$WINEPREFIX.lock"
exec wine "$@"
