#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test twice: once in a
# normal build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
status=0

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
echo "== tests (release build)"
ctest --test-dir build -j"$jobs" --output-on-failure --timeout 300 || status=1

echo "== short fuzz runs of the parsers"
bash scripts/fuzz-short.sh || status=1
bash scripts/fuzz-draw.sh || status=1

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVIMO_SANITIZE=ON \
      -DTAVIMO_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build-asan -j"$jobs"
echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer build)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp":print_suppressions=0 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
ctest --test-dir build-asan -j"$jobs" --output-on-failure --timeout 600 || status=1

exit $status
