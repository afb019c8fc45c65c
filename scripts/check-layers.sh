#!/usr/bin/env bash
# Fails on an include in plugin/ that points up or sideways: each folder may include its
# own headers, the ABI header and the folders that plugin/layers.txt allows it.
#   scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
table="$root/plugin/layers.txt"
declare -A allowed
while IFS=: read -r folder below; do
  folder="${folder// /}"
  [ -z "$folder" ] || [ "${folder:0:1}" = "#" ] && continue
  allowed[$folder]=" $folder qiv $below "
done <"$table"

faults=0
for dir in "$root"/plugin/*/; do
  folder=$(basename "$dir")
  if [ -z "${allowed[$folder]+set}" ]; then
    echo "plugin/$folder: not in plugin/layers.txt" >&2
    faults=$((faults + 1))
    continue
  fi
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    case "${allowed[$folder]}" in
      *" $target "*) ;;
      *) echo "${file#"$root"/}:$line: $folder may not include $target: $text" >&2
         faults=$((faults + 1)) ;;
    esac
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$dir" || true)
done
if [ "$faults" -gt 0 ]; then
  echo "$faults include(s) cross the layers of plugin/layers.txt" >&2
  exit 1
fi
echo "every include in plugin/ follows plugin/layers.txt"
