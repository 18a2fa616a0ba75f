#!/usr/bin/env bash
# Installs the library and the host kit with each library folder a system may
# use, relative of any depth or absolute, and builds and runs a host on each
# against every install through find_package(Tavrel) and through pkg-config. A relative layout is
# installed into a prefix other than the configured one, as a moved install
# would be; an absolute folder pins the install to its configured prefix.
# usage: install_layouts.sh SOURCE_DIR SCRATCH_BUILD_DIR CONSUMER_DIR [CMAKE_ARG...]
set -euo pipefail
source=$1
scratch=$2
consumer=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Library folder, and how a consumer's CMake finds the package: from the
# prefix alone, or given the package folder (Debian's CMake leaves lib64 out of
# its search, and an absolute folder lies outside the prefix).
layouts=(
    "lib prefix"
    "lib64 package-dir"
    "lib/x86_64-linux-gnu prefix"
    "$work/absolute/lib package-dir"
)

# Runs a command quietly; on failure shows its output and names the layout.
step() {
    local what=$1
    shift
    if ! "$@" >"$work/step.log" 2>&1; then
        cat "$work/step.log" >&2
        echo "layout '$libdir': $what failed" >&2
        exit 1
    fi
}

n=0
for layout in "${layouts[@]}"; do
    read -r libdir finding <<<"$layout"
    n=$((n + 1))
    prefix=$work/prefix$n
    case $libdir in
    /*) full=$libdir ;;
    *) full=$prefix/$libdir ;;
    esac
    step configure cmake -S "$source" -B "$scratch" -DTAVREL_BUILD_TESTS=OFF \
        -DTAVREL_BUILD_TOOLS=OFF -DCMAKE_INSTALL_LIBDIR="$libdir" \
        -DCMAKE_INSTALL_PREFIX="$work/configured$n" "$@"
    step build cmake --build "$scratch" --target tavrel tavrel_hostkit tavrel_recipes tavrel_frames \
        tavrel_api_man_pages
    if [[ $libdir == /* ]]; then
        prefix=$work/configured$n
        step install cmake --install "$scratch"
    else
        step install cmake --install "$scratch" --prefix "$prefix"
    fi

    package_hint=()
    [[ $finding == package-dir ]] && package_hint=(-DTavrel_DIR="$full/cmake/Tavrel")
    step "CMake consumer" cmake -S "$consumer" -B "$work/cmake$n" \
        -DCMAKE_PREFIX_PATH="$prefix" "${package_hint[@]}"
    step "CMake consumer build" cmake --build "$work/cmake$n"
    step "CMake consumer run" env LD_LIBRARY_PATH="$full" "$work/cmake$n/consumer"
    step "CMake kit consumer run" env LD_LIBRARY_PATH="$full" "$work/cmake$n/kit_consumer"
    step "CMake frames consumer run" env LD_LIBRARY_PATH="$full" "$work/cmake$n/frames_consumer"

    flags=$(PKG_CONFIG_PATH="$full/pkgconfig" pkg-config --cflags --libs tavrel)
    step "pkg-config consumer build" cc -o "$work/pc$n" "$consumer/main.c" $flags
    step "pkg-config consumer run" env LD_LIBRARY_PATH="$full" "$work/pc$n"
    kit_flags=$(PKG_CONFIG_PATH="$full/pkgconfig" pkg-config --cflags --libs tavrel-hostkit)
    step "pkg-config kit consumer build" cc -o "$work/pckit$n" "$consumer/kit_main.c" $kit_flags
    step "pkg-config kit consumer run" env LD_LIBRARY_PATH="$full" "$work/pckit$n"
    frames_flags=$(PKG_CONFIG_PATH="$full/pkgconfig" pkg-config --cflags --libs tavrel-frames)
    step "pkg-config frames consumer build" cc -o "$work/pcframes$n" "$consumer/frames_main.c" \
        $frames_flags -lm
    step "pkg-config frames consumer run" env LD_LIBRARY_PATH="$full" "$work/pcframes$n"
    printf '%-40s CMake ok, pkg-config ok (%s)\n' "$libdir" "$flags"
done
