#!/usr/bin/env bash
# Builds the Debian packages (tools/build-debs.sh), checks what each holds and
# declares, that the kit is pinned to its release of the library, unpacks them into a scratch root, builds and runs a host against
# that root through CMake and pkg-config, runs the unpacked tools, and runs
# lintian over the packages.
# usage: debian_packages.sh SOURCE_DIR VERSION CONSUMER_DIR
set -euo pipefail
source=$1
version=$2
consumer=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
lib=usr/lib/$arch

fail() {
    echo "$*" >&2
    exit 1
}

mapfile -t debs < <("$source/tools/build-debs.sh")
declare -A deb
for file in "${debs[@]}"; do
    deb[$(dpkg-deb -f "$file" Package)]=$file
done

# Package, then a path it must hold.
while read -r package path; do
    [[ -n ${deb[$package]:-} ]] || fail "no package $package among: ${debs[*]}"
    dpkg-deb -c "${deb[$package]}" | awk '{print $6}' | grep -qx "./$path" ||
        fail "$package lacks /$path"
done <<EOF_CONTENTS
libtavrel1 $lib/libtavrel.so.1
libtavrel1 $lib/libtavrel.so.$version
libtavrel1 $lib/libtavrel_hostkit.so.1
libtavrel1 $lib/libtavrel_recipes.so.1
libtavrel1 usr/share/doc/libtavrel1/copyright
libtavrel-dev usr/include/tavrel.h
libtavrel-dev usr/include/tavrel_version.h
libtavrel-dev $lib/libtavrel.so
libtavrel-dev $lib/cmake/Tavrel/TavrelConfig.cmake
libtavrel-dev $lib/cmake/Tavrel/TavrelConfigVersion.cmake
libtavrel-dev $lib/pkgconfig/tavrel.pc
libtavrel-dev usr/include/tavrel_hostkit.h
libtavrel-dev $lib/libtavrel_hostkit.so
libtavrel-dev $lib/pkgconfig/tavrel-hostkit.pc
libtavrel-dev usr/include/tavrel_recipes.h
libtavrel-dev $lib/libtavrel_recipes.so
libtavrel-dev $lib/pkgconfig/tavrel-recipes.pc
libtavrel-dev usr/share/doc/libtavrel-dev/copyright
libtavrel-dev usr/share/doc/libtavrel-dev/integrating.md
libtavrel-dev usr/share/doc/libtavrel-dev/examples/c/tune_one.c
libtavrel-dev usr/share/doc/libtavrel-dev/examples/python/tune_all.py
libtavrel-dev usr/share/doc/libtavrel-dev/examples/dotnet/OneAction.cs
libtavrel-dev usr/share/man/man3/tavrel.3.gz
libtavrel-dev usr/share/man/man3/tavrel_hostkit.3.gz
libtavrel-dev usr/share/man/man3/tavrel_recipes.3.gz
python3-tavrel usr/lib/python3/dist-packages/tavrel/__init__.py
python3-tavrel usr/lib/python3/dist-packages/tavrel-$version.dist-info/METADATA
python3-tavrel usr/share/doc/python3-tavrel/copyright
tavrel-tools usr/bin/tavrel-sim
tavrel-tools usr/bin/tavrel-replay
tavrel-tools usr/share/tavrel/tavrel_report.py
tavrel-tools usr/share/man/man1/tavrel-sim.1.gz
tavrel-tools usr/bin/tavrel-recipes
tavrel-tools usr/share/man/man1/tavrel-recipes.1.gz
tavrel-tools usr/share/doc/tavrel-tools/copyright
libtavrel-frames1 $lib/libtavrel_frames.so.1
libtavrel-frames1 usr/share/doc/libtavrel-frames1/copyright
libtavrel-frames-dev usr/include/tavrel_frames.h
libtavrel-frames-dev $lib/libtavrel_frames.so
libtavrel-frames-dev $lib/pkgconfig/tavrel-frames.pc
libtavrel-frames-dev $lib/cmake/Tavrel/TavrelFramesTargets.cmake
tavrel-frames-tools usr/bin/tavrel-calibrate
tavrel-frames-tools usr/bin/tavrel-locate
tavrel-frames-tools usr/share/man/man1/tavrel-calibrate.1.gz
tavrel-frames-tools usr/share/man/man1/tavrel-locate.1.gz
tavrel-frames-tools $lib/tavrel/tavrel_sim_camera.so
EOF_CONTENTS

# No file in two packages: dpkg would refuse to install them together.
duplicated=$(for file in "${debs[@]}"; do dpkg-deb -c "$file"; done |
    awk '$1 !~ /^d/ {print $6}' | sort | uniq -d)
[[ -z $duplicated ]] || fail "in more than one package: $duplicated"

# Package, control field, what it must contain.
while IFS='|' read -r package field want; do
    got=$(dpkg-deb -f "${deb[$package]}" "$field")
    [[ $got == *"$want"* ]] || fail "$package $field is '$got', expected '$want' in it"
done <<EOF_FIELDS
libtavrel1|Version|$version
libtavrel1|Depends|libsqlite3-0
libtavrel-dev|Depends|libtavrel1 (= $version)
tavrel-tools|Depends|python3
tavrel-tools|Recommends|python3-matplotlib
python3-tavrel|Depends|libtavrel1 (= $version)
python3-tavrel|Depends|python3-cffi
python3-tavrel|Architecture|all
libtavrel-frames-dev|Depends|libtavrel-frames1 (= $version)
libtavrel-frames-dev|Depends|libtavrel-dev (= $version)
libtavrel-frames1|Depends|libopencv-imgproc
tavrel-frames-tools|Depends|libtavrel-frames1 (= $version)
EOF_FIELDS
# The tools carry the library inside them: they depend on what they link.
if dpkg-deb -f "${deb[tavrel-tools]}" Depends | grep -q libtavrel; then
    fail "tavrel-tools depends on the library it does not link"
fi
# The frames camera is tavrel-frames-tools' module: tavrel-tools needs no OpenCV.
if dpkg-deb -f "${deb[tavrel-tools]}" Depends | grep -Eq 'opencv|aravis'; then
    fail "tavrel-tools depends on OpenCV or Aravis"
fi
for library in libtavrel libtavrel_hostkit libtavrel_recipes; do
    dpkg-deb -I "${deb[libtavrel1]}" shlibs | grep -qx "$library 1 libtavrel1 (>= $version)" ||
        fail "libtavrel1 has no shlibs entry for $library.so.1"
done
dpkg-deb -I "${deb[libtavrel-frames1]}" shlibs |
    grep -qx "libtavrel_frames 1 libtavrel-frames1 (>= $version)" ||
    fail "libtavrel-frames1 has no shlibs entry for libtavrel_frames.so.1"

root=$work/root
for file in "${debs[@]}"; do
    dpkg-deb -x "$file" "$root"
done
cmake -S "$consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$root/usr" >"$work/log" 2>&1 &&
    cmake --build "$work/cmake" >>"$work/log" 2>&1 || { cat "$work/log" >&2; fail "CMake consumer"; }
# The kit is pinned to its own release of the library, in CMake and pkg-config.
if cmake -S "$consumer" -B "$work/mixed" -DCMAKE_PREFIX_PATH="$root/usr" -DTAVREL_MIX_RELEASES=ON \
    >"$work/log" 2>&1; then
    fail "CMake linked the kit with a library of another release"
fi
grep -q TAVREL_RELEASE "$work/log" || { cat "$work/log" >&2; fail "CMake refused a mix for another reason"; }
PKG_CONFIG_PATH="$root/$lib/pkgconfig" pkg-config --print-requires tavrel-hostkit |
    grep -qx "tavrel = $version" || fail "tavrel-hostkit.pc does not require tavrel = $version"
flags=$(PKG_CONFIG_PATH="$root/$lib/pkgconfig" pkg-config --cflags --libs tavrel)
cc -o "$work/pc-consumer" "$consumer/main.c" $flags
export LD_LIBRARY_PATH=$root/$lib
frames_flags=$(PKG_CONFIG_PATH="$root/$lib/pkgconfig" pkg-config --cflags --libs tavrel-frames)
cc -o "$work/pc-frames-consumer" "$consumer/frames_main.c" $frames_flags -lm
for host in "$work/cmake/consumer" "$work/pc-consumer" "$work/cmake/frames_consumer" \
    "$work/pc-frames-consumer"; do
    [[ $("$host" | sed -n 1p) == "$version" ]] || fail "$host failed against the unpacked root"
done
[[ $("$root/usr/bin/tavrel-sim" --version) == "tavrel-sim $version" ]] || fail "tavrel-sim --version"
[[ $("$root/usr/bin/tavrel-locate" --version) == "tavrel-locate $version" ]] ||
    fail "tavrel-locate --version"
[[ $("$root/usr/bin/tavrel-recipes" --version) == "tavrel-recipes $version" ]] ||
    fail "tavrel-recipes --version"
# The unpacked Python binding runs the unpacked example on the unpacked libraries.
PYTHONPATH=$root/usr/lib/python3/dist-packages PYTHONDONTWRITEBYTECODE=1 \
    python3 "$root/usr/share/doc/libtavrel-dev/examples/python/tune_all.py" >"$work/py" 2>&1 ||
    { cat "$work/py" >&2; fail "the unpacked Python binding and example"; }
# The unpacked simulator draws with the unpacked plotting script.
(cd "$work" && "$root/usr/bin/tavrel-sim" --model 0 --action 0 --report "$work/r.png" >/dev/null)
[[ -s $work/r.png ]] || fail "the unpacked tavrel-sim drew nothing"
# The unpacked simulator finds the unpacked frames camera beside it.
"$root/usr/bin/tavrel-sim" --model 0 --action 0 --jobs 1 --camera frames --frame-size 320x240 \
    >"$work/frames" 2>&1 || { cat "$work/frames" >&2; fail "the unpacked tavrel-sim through frames"; }

if ! lintian --fail-on error,warning,info -I "${debs[@]}" >"$work/lintian" 2>&1; then
    grep -v 'root privileges' "$work/lintian" >&2
    fail "lintian found the above (each tag fixed, or overridden with its reason in cmake/debian/)"
fi
echo "packages: ${debs[*]##*/}; contents, fields, consumer and lintian ok"
