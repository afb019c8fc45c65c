#!/usr/bin/env bash
# Builds the release ZIP of a configured and built windows preset into a scratch folder and
# fails unless it holds exactly what integrators get: the DLL, the ABI header, the host
# authors' README and the changelog, in a file named with the version.
#   scripts/check-package.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
scratch="$build/package-check"
rm -rf "$scratch"
cpack --config "$build/CPackConfig.cmake" -B "$scratch" >/dev/null
zip="$scratch/qpx-be-qiv-honor-v2-$version-win32.zip"
[ -f "$zip" ] || { echo "no $zip; cpack made: $(ls "$scratch")" >&2; exit 1; }
listing=$(cd "$scratch" && cmake -E tar tf "$zip" | grep -v '/$' | sort)
expected=$(printf '%s\n' CHANGELOG.md README.md bin/qpx-be-qiv-honor-v2.dll include/qiv/plugin_abi.h | sort)
if [ "$listing" != "$expected" ]; then
  echo "$zip holds:" >&2
  echo "$listing" >&2
  echo "expected:" >&2
  echo "$expected" >&2
  exit 1
fi
echo "$zip holds $(echo $listing)"
