#!/bin/sh
# Validates the desktop entry or the AppStream entry the way desktops and
# software centres read them:
#   validate-entries.sh desktop SOURCE_DIR
#   validate-entries.sh metainfo SOURCE_DIR
# Exit 77 (skipped, reason on the next line) when the validator is missing.
set -u
kind=$1
source=$2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
skip() {
    echo "$kind entry: Skipped"
    echo "$1 is not installed (scripts/install-deps.sh installs it)"
    exit 77
}

case $kind in
desktop)
    entry=$source/packaging/kamelo.desktop
    command -v desktop-file-validate >/dev/null 2>&1 || skip desktop-file-validate
    out=$(desktop-file-validate "$entry" 2>&1)
    [ -z "$out" ] || fail "desktop-file-validate: $out"
    # Every extension the program associates with itself has its type in
    # MimeType, as shared-mime-info names it.
    mime=$(sed -n 's/^MimeType=//p' "$entry")
    globs=/usr/share/mime/globs2
    if [ -r "$globs" ]; then
        for ext in jpg bmp png pcx iff ras sgi psd tif tga pcd pct gif tiff; do
            types=$(grep -i ":\*\.$ext\$" "$globs" | cut -d: -f2)
            [ -n "$types" ] || fail "shared-mime-info knows no type for .$ext"
            for t in $types; do
                case ";$mime" in
                *";$t;"*) ;;
                *) fail "MimeType lacks $t (.$ext)" ;;
                esac
            done
        done
    else
        echo "MimeType not checked against shared-mime-info: $globs missing"
    fi
    ;;
metainfo)
    entry=$source/packaging/kr.co.halvern.Kamelo.metainfo.xml
    command -v appstreamcli >/dev/null 2>&1 || skip appstreamcli
    appstreamcli validate --no-net "$entry" || fail "appstreamcli validate"
    version=$(sed -n 's/^project(Kamelo VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
    first=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$entry" | head -n 1)
    [ "$first" = "$version" ] || fail "newest release $first is not the project version $version"
    # The screenshots named by the entry are the ones the project makes.
    for url in $(sed -n 's/.*<image[^>]*>\(.*\)<\/image>.*/\1/p' "$entry"); do
        file=$source/packaging/screenshots/$(basename "$url")
        [ -s "$file" ] || fail "screenshot $(basename "$url") is not in packaging/screenshots"
    done
    grep -q '<launchable type="desktop-id">kamelo.desktop</launchable>' "$entry" ||
        fail "the entry does not launch kamelo.desktop"
    ;;
*)
    echo "unknown kind $kind"
    exit 2
    ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "$kind entry valid"
