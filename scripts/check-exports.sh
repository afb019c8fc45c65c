#!/usr/bin/env bash
# Fails unless the given plug-in library exports exactly one symbol, load_qiv_honor_v2.
#   ELF (Linux): the dynamic symbol table holds nothing else.
#   PE (Windows): a 32-bit DLL whose export table names load_qiv_honor_v2 alone, undecorated,
#   and which imports only from the system's own DLLs (no toolchain runtime DLL, and no
#   Advapi32, which the library reaches at run time only).
set -euo pipefail
library="$1"

fail() {
  echo "$library: $1" >&2
  shift
  [ "$#" -gt 0 ] && printf '%s\n' "$@" >&2
  exit 1
}

if [ "$(head -c 2 "$library")" != "MZ" ]; then
  exported=$(nm -D --defined-only "$library" | awk '{print $NF}' | sort -u)
  [ "$exported" = "load_qiv_honor_v2" ] || fail "unexpected exports:" "$exported"
  echo "$library exports only load_qiv_honor_v2"
  exit 0
fi

# The system DLLs a 32-bit Windows process always has, and that the DLL may import from.
allowed_imports="KERNEL32.dll msvcrt.dll"
objdump=i686-w64-mingw32-objdump
headers=$($objdump -p "$library")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit Windows DLL"
exported=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk 'NR > 1 && /\[/ {print $NF}')
[ "$exported" = "load_qiv_honor_v2" ] || fail "unexpected exports:" "$exported"
imports=$(awk '/DLL Name:/ {print $NF}' <<<"$headers" | sort -u)
for dll in $imports; do
  case " $allowed_imports " in
    *" $dll "*) ;;
    *) fail "imports from $dll; only $allowed_imports may be imported at load time" "imports: $(echo $imports)" ;;
  esac
done
echo "$library exports only load_qiv_honor_v2 and imports only from $(echo $imports)"
