#!/usr/bin/env bash
# Nothing of ours runs when the shared library is loaded or unloaded: no static
# constructor, and no destructor registered for a static object.
# usage: check_no_load_code.sh LIBRARY
set -euo pipefail
lib=$1
status=0
# The compiler gathers a file's static initialisation in _GLOBAL__sub_I_<file>.
if nm "$lib" | grep -E '_GLOBAL__sub_[ID]_'; then
  echo "code that runs at load in $lib"
  status=1
fi
# A static object's destructor is registered at load through __cxa_atexit.
if nm -D --undefined-only "$lib" | grep -wE '__cxa_atexit|atexit'; then
  echo "$lib registers destructors at load"
  status=1
fi
if [[ $status -eq 0 ]]; then
  echo "nothing runs at load"
fi
exit $status
