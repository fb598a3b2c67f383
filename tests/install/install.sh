#!/usr/bin/env bash
# The installed tree, used as a program outside the project uses it: install into a
# staging prefix, then build the examples against that prefix only (pkg-config for one,
# find_package(Tavimo) for the others) and run them; check what the installed libraries
# export; show a TGA with the installed tavimo-view through the codec plug-in.
#
#   install.sh BUILD_DIR SOURCE_DIR CXX
# TAVIMO_REQUIRED_EXPORTS: the names both libraries must export (space-separated).
set -euo pipefail
build=$1 source=$2 cxx=$3
here=$source/tests/install
examples=$here/examples

stage=$(mktemp -d "${TMPDIR:-/tmp}/tavimo-install.XXXXXX")
trap 'rm -rf "$stage"' EXIT
prefix=$stage/prefix
work=$stage/work
mkdir -p "$work"
# Nothing from the build tree or the environment may help: no plug-in path, and the
# temporary files of the examples go to a folder of this run.
unset TAVIMO_PLUGIN_PATH
export tmp=$work/ temp=$work/

step() { echo "== $*"; }
fail() { echo "install test: $*" >&2; exit 1; }

step "install into the staging prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name libtavimo.so -print -quit)")
[ -n "$libdir" ] && [ -d "$libdir" ] || fail "no libtavimo.so installed"
for lib in tavimo tavimos; do
    [ -L "$libdir/lib$lib.so" ] || fail "lib$lib.so is not a link to the versioned library"
    soname=$(readelf -d "$libdir/lib$lib.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    [ "$soname" = "lib$lib.so.0" ] || fail "lib$lib.so has the SONAME '$soname'"
    [ -f "$libdir/pkgconfig/$lib.pc" ] || fail "no $lib.pc"
done
[ -f "$libdir/cmake/Tavimo/TavimoConfig.cmake" ] || fail "no CMake package"
[ -f "$prefix/include/tavimo/tavimo.h" ] || fail "no public headers"
[ -x "$prefix/bin/tavimo-view" ] || fail "no tavimo-view"

step "exported symbols"
# shellcheck disable=SC2086
bash "$here/check-exports.sh" "$libdir/libtavimo.so" "$here/exported-symbols.txt" \
    ${TAVIMO_REQUIRED_EXPORTS:-} '!cAutoDeskew'
# shellcheck disable=SC2086
bash "$here/check-exports.sh" "$libdir/libtavimos.so" "$here/exported-symbols.txt" \
    ${TAVIMO_REQUIRED_EXPORTS:-} tavimo::v0::cAutoDeskew::GetSkewAngle

# The input images. A colour BMP made here byte by byte: 64 x 48, 24 bits, a gradient.
bmp=$work/photo.bmp
python3 - "$bmp" <<'PY'
import struct, sys
w, h = 64, 48
stride = (w * 3 + 3) // 4 * 4
rows = b"".join(bytes(b for x in range(w) for b in (x * 4, y * 5, 200)) + bytes(stride - w * 3)
                for y in range(h))
header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(rows), 0, 0, 54, 40, w, h, 1, 24,
                     0, len(rows), 3780, 3780, 0, 0)
open(sys.argv[1], "wb").write(header + rows)
PY

step "pkg-config: pdf_report"
export PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_PATH=
# shellcheck disable=SC2046
"$cxx" -std=c++17 -Wall -Wextra -Werror "$examples/pdf_report.cpp" -o "$work/pdf_report" \
    $(pkg-config --cflags --libs tavimo) -Wl,-rpath,"$(pkg-config --variable=libdir tavimo)"
"$work/pdf_report" "$work/report.pdf" "$bmp"
qpdf --check "$work/report.pdf" >/dev/null || fail "qpdf --check rejects report.pdf"

step "find_package(Tavimo): filter_image, scan_cleanup"
cmake -S "$examples" -B "$work/cmake-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF \
      -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/filter_image" "$bmp" "$work/grey.png"
[ -s "$work/grey.png" ] || fail "filter_image wrote nothing"

# A page of thick lines tilted by 3 degrees (clockwise, so they go down to the right),
# printed on a file printer.
if command -v convert >/dev/null; then
    lines=()
    for y in $(seq 100 40 400); do lines+=(-draw "rectangle 80,$y 420,$((y + 6))"); done
    convert -size 500x500 xc:white -fill black "${lines[@]}" -background white -rotate 3 \
        -flatten -type TrueColor "PNG24:$work/scan.png" || fail "ImageMagick cannot make the scan"
    mkdir -p "$work/printed"
    export TAVIMO_FILE_PRINTERS="Office printer=$work/printed,50"
    out=$("$work/cmake-build/scan_cleanup" "$work/scan.png" "office")
    echo "$out"
    angle=$(sed -n 's/^skew \(.*\) degrees$/\1/p' <<<"$out")
    awk -v a="$angle" 'BEGIN { exit !(a >= 2.5 && a <= 3.5) }' || fail "skew '$angle', not 3"
    ls "$work/printed"/*page1.png >/dev/null 2>&1 || fail "scan_cleanup printed no page"
else
    echo "skipped: no ImageMagick to make the scan"
fi

step "installed tavimo-view reads a TGA through the codec plug-in"
if [ -f "$libdir/tavimo/plugins/libkelvra.so" ]; then
    # 4 x 2 pixels, uncompressed true colour, bottom-up: an 18-byte header, then B, G, R.
    printf '\0\0\2\0\0\0\0\0\0\0\0\0\4\0\2\0\30\0' >"$work/tiny.tga"
    for _ in 1 2 3 4 5 6 7 8; do printf '\377\0\0'; done >>"$work/tiny.tga"
    "$prefix/bin/tavimo-view" --snapshot "$work/tga.png" --size 16x16 "$work/tiny.tga" ||
        fail "the installed tavimo-view cannot show a TGA"
    [ -s "$work/tga.png" ] || fail "tavimo-view wrote no snapshot"
else
    echo "skipped: the codec plug-in is not built"
fi
echo "install test: passed"
