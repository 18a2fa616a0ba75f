#!/usr/bin/env bash
# One version everywhere: installs the build (library, headers, packages and
# tools) and compares each place that states the version with the build's own.
# usage: version_agrees.sh BUILD_DIR VERSION CONSUMER_DIR
set -euo pipefail
build=$1
version=$2
consumer=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$(echo "$prefix"/lib*/libtavrel.so)
libdir=$(dirname "$lib")
cmake -S "$consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null

major=${version%%.*}
declare -A found
# The consumer prints the headers' version first, then the library's own text.
found[header]=$(LD_LIBRARY_PATH="$libdir" "$work/consumer/consumer" | sed -n 1p)
found[cmake-package]=$(cat "$work/consumer/package-version.txt")
found[pkg-config]=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --modversion tavrel)
found[kit-pkg-config]=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --modversion tavrel-hostkit)
found[kit-soname]=$(objdump -p "$libdir/libtavrel_hostkit.so" | awk '/SONAME/ {print $2}')
found[library-file]=$(basename "$(readlink -f "$lib")" | sed 's/^libtavrel\.so\.//')
found[soname]=$(objdump -p "$lib" | awk '/SONAME/ {print $2}')
python_dir=$prefix/lib/python3/dist-packages
found[python-package]=$(python3 -c 'import runpy, sys; print(runpy.run_path(sys.argv[1])["__version__"])' \
    "$python_dir/tavrel/_version.py")
found[python-metadata]=$(sed -n 's/^Version: //p' "$python_dir"/tavrel-*.dist-info/METADATA)
for tool in tavrel-sim tavrel-replay; do
    found[$tool]=$(LD_LIBRARY_PATH="$libdir" "$prefix/bin/$tool" --version)
done

expected() {
    case $1 in
    soname) echo "libtavrel.so.$major" ;;
    kit-soname) echo "libtavrel_hostkit.so.$major" ;;
    tavrel-*) echo "$1 $version" ;;
    *) echo "$version" ;;
    esac
}
status=0
for place in header cmake-package pkg-config library-file soname kit-pkg-config kit-soname \
    python-package python-metadata tavrel-sim tavrel-replay; do
    want=$(expected "$place")
    if [[ ${found[$place]} == "$want" ]]; then
        printf '%-14s %s\n' "$place" "${found[$place]}"
    else
        printf '%-14s %s, expected %s\n' "$place" "${found[$place]}" "$want" >&2
        status=1
    fi
done
exit $status
