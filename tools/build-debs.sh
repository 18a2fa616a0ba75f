#!/usr/bin/env bash
# Builds the Debian packages (libtavrel1, libtavrel-dev, tavrel-tools) into
# build-deb/ with Debian's own compiler and linker flags, and prints their
# paths, one per line.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
# Debian's flags with every hardening feature.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
quietly() {
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        echo "failed: $*" >&2
        exit 1
    fi
}
quietly cmake --preset deb \
    -DCMAKE_C_FLAGS="$(flags CFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
    -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
    -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)"
quietly cmake --build --preset deb -j "$JOBS"
rm -f build-deb/*.deb
quietly cpack --preset deb
ls "$PWD"/build-deb/*.deb
