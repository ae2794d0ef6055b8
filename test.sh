#!/usr/bin/env bash
# Installs what is missing, builds everything under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
pz4_ensure_packages "${PZ4_BUILD_PACKAGES[@]}" "${PZ4_TEST_PACKAGES[@]}"
runtime=$(pz4_clang_runtime_package)
pz4_ensure_packages "$runtime"

# No file may include a header of a level above its own (src/README.md).
tools/check-levels.sh

jobs=$(nproc 2>/dev/null || echo 2)
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPZ4_SANITIZE=ON -DPZ4_WERROR=ON \
    -DPZ4_REQUIRE_WINDOWS_CHECK=ON
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600

# The whole tree as users and packagers build it, optimised and without
# sanitizers, with each compiler: some warnings only appear at -O3, and none
# may come back unseen. Building is the test; the suite ran above.
for compiler in gcc clang; do
    if [ "$compiler" = gcc ]; then cc=gcc cxx=g++; else cc=clang cxx=clang++; fi
    CC=$cc CXX=$cxx cmake -S . -B "build/release-$compiler" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DPZ4_WERROR=ON
    cmake --build "build/release-$compiler" -j "$jobs"
done

# The program as users get it: validators, a staged install under another prefix,
# a portable copy and the Debian package, each started without a display.
tools/check-install.sh build/release-gcc

# The fuzz targets need clang's libFuzzer: a build of their own, then one pass
# over the kept corpora and regression inputs.
fuzz=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPZ4_WERROR=ON \
    -DPZ4_FUZZ=ON -DPZ4_TESTS=OFF -DPZ4_UI=OFF -DPZ4_BENCH=OFF
cmake --build "$fuzz" -j "$jobs" --target pz4_fuzzers
ctest --test-dir "$fuzz" --output-on-failure -L fuzz --timeout 600
