#!/usr/bin/env bash
# The Debian packages on the system itself (CI runs as root): installs them
# with dpkg, builds and runs a host against the system install through CMake
# and pkg-config, runs tavrel-sim --version, imports the Python binding, then removes them and checks that
# nothing of them is left.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $(id -u) -ne 0 ]]; then
    echo "debian-packages: needs root (dpkg -i)" >&2
    exit 1
fi
tools/install-deps.sh test
version=$(sed -n 's/^project(Tavrel VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
packages=(libtavrel1 libtavrel-dev tavrel-tools python3-tavrel libtavrel-frames1 libtavrel-frames-dev
    tavrel-frames-tools)
for package in "${packages[@]}"; do
    if dpkg -s "$package" >/dev/null 2>&1; then
        echo "debian-packages: $package is installed already; remove it first" >&2
        exit 1
    fi
done

mapfile -t debs < <(tools/build-debs.sh)
work=$(mktemp -d)
cleanup() {
    dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

dpkg -i "${debs[@]}"
cmake -S tests/host/consumer -B "$work/cmake" >/dev/null
cmake --build "$work/cmake" >/dev/null
[[ $("$work/cmake/consumer" | sed -n 1p) == "$version" ]]
cc -o "$work/pc-consumer" tests/host/consumer/main.c $(pkg-config --cflags --libs tavrel)
[[ $("$work/pc-consumer" | sed -n 1p) == "$version" ]]
[[ $(tavrel-sim --version) == "tavrel-sim $version" ]]
[[ $(tavrel-recipes --version) == "tavrel-recipes $version" ]]
tavrel-recipes --db "$work/cell.db" list >/dev/null
(cd "$work" && PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c \
    'from tavrel.recipes import RecipeStore; RecipeStore("cell.db").close()')
# Debian's Python finds the installed binding, and the binding the installed libraries.
(cd "$work" && PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c 'import tavrel; print(tavrel.__version__)') |
    grep -qx "$version"
echo "installed: $(tavrel-sim --version), consumers built through CMake and pkg-config, python3-tavrel"

installed=$(dpkg -L "${packages[@]}" | sort -u)
dpkg --purge "${packages[@]}"
left=$(while read -r path; do
    if [[ -e $path && ! -d $path ]]; then
        echo "$path"
    fi
done <<<"$installed")
if [[ -n $left ]]; then
    echo "debian-packages: left after removal: $left" >&2
    exit 1
fi
if command -v tavrel-sim >/dev/null || pkg-config --exists tavrel; then
    echo "debian-packages: tavrel still found after removal" >&2
    exit 1
fi
echo "removed cleanly"
