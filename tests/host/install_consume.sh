#!/usr/bin/env bash
# Installs the library into a temporary prefix and builds and runs a consumer
# through find_package(Tavrel), then checks the pkg-config file.
# usage: install_consume.sh BUILD_DIR CONSUMER_SOURCE_DIR
set -euo pipefail
build=$1
consumer=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer/consumer" >/dev/null
soname=$(objdump -p "$work"/prefix/lib/libtavrel.so | awk '/SONAME/ {print $2}')
[[ "$soname" == libtavrel.so.1 ]] || { echo "SONAME is '$soname'"; exit 1; }
# The pkg-config file works from wherever the prefix was installed.
pc=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs tavrel)
cc -o "$work/pc-consumer" "$consumer/main.c" $pc
LD_LIBRARY_PATH="$work/prefix/lib" "$work/pc-consumer" >/dev/null
echo "installed, consumed through CMake and pkg-config, SONAME $soname"
