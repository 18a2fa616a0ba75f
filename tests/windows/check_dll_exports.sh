#!/usr/bin/env bash
# The DLL's export table, demangled, must be exactly the list in host/exports.txt:
# the five entry points under plain names, every other function mangled.
# Usage: check_dll_exports.sh OBJDUMP CXXFILT DLL EXPORTS_LIST
set -euo pipefail
if (($# != 4)); then
  echo "usage: $0 OBJDUMP CXXFILT DLL EXPORTS_LIST" >&2
  exit 2
fi
objdump=$1 cxxfilt=$2 dll=$3 list=$4

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# objdump -p prints the export names as "\t[   n] NAME" under this heading.
"$objdump" -p "$dll" >"$tmp/headers"
sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' \
  "$tmp/headers" >"$tmp/raw"
if [[ ! -s $tmp/raw ]]; then
  echo "FAIL: no export names found in $dll" >&2
  exit 1
fi

# Constructors and destructors come in several ABI variants with one demangled
# name; the list holds each name once.
"$cxxfilt" <"$tmp/raw" | LC_ALL=C sort -u >"$tmp/actual"
grep -v -e '^[[:space:]]*$' -e '^#' "$list" | LC_ALL=C sort -u >"$tmp/expected"

if ! cmp -s "$tmp/expected" "$tmp/actual"; then
  echo "FAIL: exports of $dll differ from $list" >&2
  echo "exported but not listed:" >&2
  LC_ALL=C comm -13 "$tmp/expected" "$tmp/actual" | sed 's/^/  /' >&2
  echo "listed but not exported:" >&2
  LC_ALL=C comm -23 "$tmp/expected" "$tmp/actual" | sed 's/^/  /' >&2
  exit 1
fi
echo "OK: $(wc -l <"$tmp/actual") exported names match $list ($(wc -l <"$tmp/raw") table entries)"
