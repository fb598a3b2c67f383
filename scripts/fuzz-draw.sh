#!/usr/bin/env bash
# Builds the WMF and EMF reader fuzz targets with clang (libFuzzer + AddressSanitizer +
# UBSan) in build-fuzz-draw/, writes their seed corpora, and runs each for a bounded time.
# A crash, leak or sanitizer report fails the run. FUZZ_SECONDS overrides the 30 s.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
out=build-fuzz-draw
mkdir -p "$out/obj" "$out/corpus/wmf" "$out/corpus/emf"

if ! command -v clang++ >/dev/null; then
    echo "fuzz-draw: clang++ is missing" >&2
    exit 1
fi

flags=(-std=c++20 -O1 -g -I. $(pkg-config --cflags cairo) -fsanitize=fuzzer-no-link,address,undefined
       -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
sources=(platform/gdiplus/metafile_object.cpp platform/gdiplus/metafile_canvas.cpp
         platform/gdiplus/metafile_wmf.cpp platform/gdiplus/metafile_emf.cpp
         platform/win/gdi_metafile.cpp)
libs=($(pkg-config --libs cairo))

objects=()
for src in "${sources[@]}"; do
    obj="$out/obj/$(basename "${src%.cpp}").o"
    clang++ "${flags[@]}" -c "$src" -o "$obj"
    objects+=("$obj")
done
for target in wmf emf; do
    clang++ "${flags[@]}" -fsanitize=fuzzer tests/platform/gdiplus/fuzz/metafile_${target}_fuzz.cpp \
        "${objects[@]}" "${libs[@]}" -o "$out/metafile_${target}_fuzz"
done

# Seeds written by the project's own metafile writer.
clang++ -std=c++20 -O1 -I. tests/platform/gdiplus/fuzz/metafile_seeds.cpp \
    tests/support/gdi_metafile_writer.cpp -o "$out/metafile_seeds"
"$out/metafile_seeds" "$out/corpus/wmf" "$out/corpus/emf"
# Inputs that once crashed stay in the corpus.
cp tests/platform/gdiplus/fuzz/regressions/*.wmf "$out/corpus/wmf"/ 2>/dev/null || true
cp tests/platform/gdiplus/fuzz/regressions/*.emf "$out/corpus/emf"/ 2>/dev/null || true

status=0
for target in wmf emf; do
    echo "== fuzz metafile_$target (${seconds}s)"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$out/metafile_${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=16384 -print_final_stats=1 -artifact_prefix="$out/${target}-" \
        "$out/corpus/$target" 2>"$out/${target}.log" || { status=1; tail -60 "$out/${target}.log"; }
    grep -E "^stat::number_of_executed_units" "$out/${target}.log" | tail -1 || true
done
exit $status
