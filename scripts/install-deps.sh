#!/bin/sh
# Installs every Debian package that building, running and testing Kamelo needs.
# Safe to run again: it only calls apt-get when something is missing.
set -eu

PACKAGES="
build-essential cmake ninja-build pkg-config git clang-format python3
qt6-base-dev qt6-base-dev-tools libqt6printsupport6 qt6-qpa-plugins qt6-image-formats-plugins libgl1-mesa-dev libxcb1-dev
qt6-translations-l10n libfontconfig-dev
libsqlite3-dev zlib1g-dev libcurl4-openssl-dev libglib2.0-dev libglib2.0-bin gsettings-desktop-schemas xdg-utils shared-mime-info
python3-pyftpdlib openssl
libjpeg62-turbo-dev libturbojpeg0-dev libimage-exiftool-perl libjpeg-turbo-progs libpng-dev libtiff-dev libgif-dev libexiv2-dev libgraphicsmagick++1-dev graphicsmagick
libgtest-dev libgmock-dev googletest libbenchmark-dev imagemagick exiv2
fonts-nanum fonts-noto-cjk fontconfig
xvfb xauth
xdotool openbox x11-utils dex
desktop-file-utils appstream dpkg-dev lintian man-db bsdextrautils file
cups cups-client cups-filters poppler-utils libcups2-dev
dosfstools rsync
libheif-dev libavif-dev libwebp-dev libjxl-dev libraw-dev liblcms2-dev
libheif-examples libavif-bin webp libjxl-tools libvips-tools
libgphoto2-dev gphoto2 dbus
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi

echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
