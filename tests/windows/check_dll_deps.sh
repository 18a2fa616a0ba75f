#!/usr/bin/env bash
# A shipped PE file may import only DLLs every Windows installation has: no
# libstdc++-6.dll, libgcc_s_*.dll or libwinpthread-1.dll beside it.
# Usage: check_dll_deps.sh OBJDUMP FILE...
set -euo pipefail
if (($# < 2)); then
  echo "usage: $0 OBJDUMP FILE..." >&2
  exit 2
fi
objdump=$1
shift

status=0
for file in "$@"; do
  deps=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
  if [[ -z $deps ]]; then
    echo "FAIL: $file: no imports found (not a PE file?)" >&2
    status=1
    continue
  fi
  while read -r dll; do
    case ${dll,,} in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | ntdll.dll | user32.dll | \
      advapi32.dll | ws2_32.dll | shell32.dll | ole32.dll | bcrypt.dll)
      echo "$file: $dll" ;;
    *)
      echo "FAIL: $file imports $dll, which is not a system DLL" >&2
      status=1
      ;;
    esac
  done <<<"$deps"
done
exit $status
