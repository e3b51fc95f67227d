#!/bin/sh
# Fuzzes the program's own decoders with libFuzzer (clang, ASan + UBSan).
#   scripts/fuzz.sh TARGET SECONDS [SEED_DIR...]
# TARGET is psd, iff, emf, ras or sgi. New interesting inputs are kept in
# fuzz/corpus/TARGET, which the tests replay.
set -eu
cd "$(dirname "$0")/.."
target=$1
seconds=$2
shift 2
cmake -S . -B build-fuzz -G Ninja -DKAMELO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz --target "fuzz_$target"
mkdir -p "fuzz/corpus/$target" "build-fuzz/crashes/$target"
QT_QPA_PLATFORM=offscreen "build-fuzz/bin/fuzz_$target" \
    -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=20 -max_len=262144 \
    -artifact_prefix="build-fuzz/crashes/$target/" -print_final_stats=1 \
    "fuzz/corpus/$target" "$@"
