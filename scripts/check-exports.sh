#!/usr/bin/env bash
# Fails unless the given shared library exports exactly one symbol: load_qiv_honor_v2.
set -euo pipefail
library="$1"
exported=$(nm -D --defined-only "$library" | awk '{print $NF}' | sort -u)
if [ "$exported" != "load_qiv_honor_v2" ]; then
  echo "unexpected exports of $library:" >&2
  echo "$exported" >&2
  exit 1
fi
echo "$library exports only load_qiv_honor_v2"
