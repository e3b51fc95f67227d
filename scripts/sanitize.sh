#!/bin/sh
# Builds everything with AddressSanitizer and UBSan in build-asan/ and runs
# the tests there (or only those matching $1, a ctest -R pattern).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -G Ninja -DKAMELO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan
cd build-asan
export QT_QPA_PLATFORM=offscreen
# Qt and fontconfig keep caches for the life of the process.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions="$PWD/../scripts/lsan.supp"
ctest -j2 --output-on-failure ${1:+-R "$1"}
