#!/bin/sh
# Fuzzes the program's own decoders with libFuzzer (clang, ASan + UBSan).
#   scripts/fuzz.sh TARGET SECONDS [SEED_DIR...]
# TARGET is psd, iff, emf, ras, sgi, jpegsections, lis, cac, gif, ini, ftpreply, heif, webp, jxl,
# raw, avif or profile. The fuzzer works in
# build-fuzz/corpus/TARGET; afterwards the inputs that add coverage are merged
# into fuzz/corpus/TARGET (kept small), which the tests replay.
set -eu
cd "$(dirname "$0")/.."
target=$1
seconds=$2
shift 2
cmake -S . -B build-fuzz -G Ninja -DKAMELO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz --target "fuzz_$target"
work="build-fuzz/corpus/$target"
mkdir -p "$work" "fuzz/corpus/$target" "build-fuzz/crashes/$target"
export QT_QPA_PLATFORM=offscreen
"build-fuzz/bin/fuzz_$target" \
    -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=20 -max_len=262144 \
    -artifact_prefix="build-fuzz/crashes/$target/" -print_final_stats=1 \
    "$work" "fuzz/corpus/$target" "$@"
"build-fuzz/bin/fuzz_$target" -merge=1 -max_len=16384 -rss_limit_mb=4096 \
    "fuzz/corpus/$target" "$work"
