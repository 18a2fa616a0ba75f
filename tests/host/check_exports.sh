#!/usr/bin/env bash
# The shared library exports exactly the listed surface: the five entry points
# under plain names, every other function under its mangled name, no data.
# usage: check_exports.sh LIBRARY EXPORT_LIST
set -euo pipefail
lib=$1
list=$2
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | c++filt | LC_ALL=C sort -u)
expected=$(LC_ALL=C sort -u "$list")
if [[ "$actual" != "$expected" ]]; then
  echo "exported surface of $lib differs from $list (< expected, > actual):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
# No data symbols.
if nm -D --defined-only "$lib" | awk '$2 !~ /^[TW]$/' | grep .; then
  echo "data symbols exported from $lib"
  exit 1
fi
echo "$(echo "$actual" | wc -l) exports match"
