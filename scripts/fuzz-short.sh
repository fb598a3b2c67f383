#!/usr/bin/env bash
# Builds the fuzz targets of the image loader (bytes through GdipLoadImageFromStream, then
# frames, LockBits and every encoder) and of the EXIF/TIFF tag reader with clang (libFuzzer +
# AddressSanitizer + UBSan) in build-fuzz/, generates small seed corpora, and runs each
# target for a bounded time.
# A crash, leak or sanitizer report fails the run. FUZZ_SECONDS overrides the 30 s.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
out=build-fuzz
mkdir -p "$out/corpus/stream" "$out/corpus/exif"

if ! command -v clang++ >/dev/null; then
    echo "fuzz-short: clang++ is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
fi

# The targets live in their own CMake project, which builds the libraries they need from
# this tree with clang and the fuzzer and sanitizer instrumentation.
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S tests/platform/gdiplus/fuzz -B "$out/cmake" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS="-O1 -g $sanitize" \
    -DCMAKE_CXX_FLAGS="-O1 -g $sanitize" >/dev/null
cmake --build "$out/cmake" -j"${FUZZ_JOBS:-4}" --target stream_fuzz exif_fuzz >/dev/null

# Seeds: one small file per format and flavour, written by ImageMagick.
seed() { convert "$@" 2>/dev/null || true; }
d=$out/corpus/stream
if [ -z "$(ls -A "$d")" ]; then
    seed -size 9x7 gradient:red-blue BMP3:"$d/a.bmp"
    seed -size 9x7 gradient: -type palette -colors 16 -compress RLE BMP3:"$d/rle.bmp"
    seed -size 9x7 gradient:red-blue -alpha on BMP:"$d/v5.bmp"
    seed -size 9x7 gradient:red-blue -quality 80 "$d/a.jpg"
    seed -size 9x7 gradient: -colorspace gray -interlace JPEG "$d/grey.jpg"
    seed -size 9x7 gradient:red-blue -colorspace cmyk "$d/cmyk.jpg"
    seed -size 9x7 gradient:red-blue PNG24:"$d/a.png"
    seed -size 9x7 gradient:red-blue -alpha on -interlace PNG PNG32:"$d/adam7.png"
    seed -size 9x7 gradient: -colors 4 PNG8:"$d/pal.png"
    seed -delay 5 -loop 2 -size 9x7 xc:red xc:blue "$d/anim.gif"
    seed -size 9x7 gradient: -type bilevel -compress group4 "$d/g4.tif"
    seed -size 9x7 gradient:red-blue -compress lzw -define tiff:tile-geometry=16x16 "$d/tiled.tif"
    seed -size 9x7 gradient:red-blue -compress jpeg "$d/jpeg.tif"
    seed -size 16x16 gradient:red-blue ICO:"$d/a.ico"
fi
# Inputs that once crashed stay in the corpus.
cp tests/platform/gdiplus/fuzz/regressions/* "$d"/ 2>/dev/null || true
e=$out/corpus/exif
if [ -z "$(ls -A "$e")" ]; then
    cp "$d"/*.tif "$e"/ 2>/dev/null || true
    seed -size 4x4 xc:red -set comment hi -density 72 -endian MSB -compress none "$e/mm.tif"
fi

status=0
for target in stream exif; do
    echo "== fuzz $target (${seconds}s)"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=64 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$out/cmake/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -malloc_limit_mb=1536 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$out/${target}-" \
        "$out/corpus/$target" 2>"$out/${target}.log" || { status=1; tail -60 "$out/${target}.log"; }
    grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$out/${target}.log" | tail -2 || true
done
exit $status
