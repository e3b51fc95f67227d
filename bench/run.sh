#!/bin/sh
# Builds and runs the benchmarks against the reference tools they compare with.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
missing=""
for p in libjpeg-turbo-progs libvips-tools graphicsmagick exiv2 curl libheif-examples libavif-bin webp \
    libjxl-tools imagemagick; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target imaging_bench viewer_bench thumblist_bench print_bench kamelo kamelo-cli updater_bench slideshow_bench rename_bench edit_bench editops_bench metadata_bench losslessturn_bench kamelo_frame_skins modern_bench modern_viewer_bench \
    colour_bench colour_viewer_bench colour_thumbs_bench gigapixel_bench largeview_bench bigfolder_bench
work="${1:-/tmp/kamelo-bench}"
build/bin/imaging_bench "$work"
build/bin/viewer_bench "$work"
bench/startup_bench.py build "${KAMELO_TESTDATA:-../shared/testdata}" "$work/startup"
bench/thumbs_bench.py build "${KAMELO_TESTDATA:-../shared/testdata}" "$work/thumbs"
bench/convert_bench.py build "${KAMELO_TESTDATA:-../shared/testdata}" "$work/convert"
build/bin/updater_bench "$work/updater" tests/updater/servers
build/bin/print_bench build/bin/kamelo-cli "$work"
build/bin/slideshow_bench "$work" "${KAMELO_TESTDATA:-../shared/testdata}/camera"
build/bin/rename_bench "$work"
build/bin/edit_bench "$work"
bench/import_bench.py build "${KAMELO_TESTDATA:-../shared/testdata}" "$work/import"
build/bin/editops_bench "$work"
build/bin/metadata_bench "$work"
build/bin/losslessturn_bench "$work" build/bin/kamelo-cli
bench/frame_bench.py build "${KAMELO_TESTDATA:-../shared/testdata}" "$work/frame"
build/bin/modern_bench "$work" "${KAMELO_TESTDATA:-../shared/testdata}" build/bin/kamelo-cli
build/bin/modern_viewer_bench "$work"
build/bin/colour_bench "$work/colour"
build/bin/colour_viewer_bench "$work/colour-viewer"
build/bin/colour_thumbs_bench "$work/colour-thumbs"
mkdir -p "$work/large"
build/bin/gigapixel_bench "$work/large"
build/bin/largeview_bench "$work/large"
build/bin/bigfolder_bench "$work/bigfolder"
