#!/bin/bash
# Makes the Debian package from the existing build (no rebuild) and checks it
# in a scratch root, never in the system:
#   deb-package.sh BUILD_DIR
# The package holds exactly installed-files.txt under /usr, depends on the
# libraries dpkg-shlibdeps found, runs from an unpacked tree, installs into
# and removes from a scratch dpkg root without leaving a file, and passes
# lintian without errors or warnings when lintian is there.
# Exit 77 (skipped, reason on the next line) when the Debian tools are missing.
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps; do
    if ! command -v $tool >/dev/null 2>&1; then
        echo "DebPackage: Skipped"
        echo "$tool is not installed (scripts/install-deps.sh installs dpkg-dev)"
        exit 77
    fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
deb=$(ls "$scratch"/out/kamelo_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    ls -R "$scratch/out"
    echo "FAIL: no kamelo_*.deb"
    exit 1
fi

[ "$(dpkg-deb -f "$deb" Package)" = kamelo ] || fail "package name"
dpkg-deb -f "$deb" Description | grep -q '^ ;' && fail "the description holds CMake list separators"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libqt6widgets6 libsqlite3-0 qt6-qpa-plugins libheif1 libjxl0.7 libcurl4 libcups2 libexiv2-27 libtiff6; do
    case ", $depends," in
    *", $dep "* | *", $dep,"*) ;;
    *) fail "Depends lacks $dep: $depends" ;;
    esac
done

# Unpacked: the file list, and the tool runs from it.
root=$scratch/root
dpkg -x "$deb" "$root"
"$here/listtree.sh" "$root/usr" >"$scratch/files.txt"
diff -u "$here/installed-files.txt" "$scratch/files.txt" || fail "packaged files differ"
version=$(dpkg-deb -f "$deb" Version)
[ "$("$root/usr/bin/kamelo-cli" --version)" = "Kamelo $version" ] || fail "kamelo-cli --version"
file "$root/usr/lib/kamelo/kamelo" 2>/dev/null | grep -q "not stripped" && fail "kamelo not stripped"
# Opened on first use: naming them would load them (and TLS, Kerberos...) at every start.
for prog in "$root/usr/lib/kamelo/kamelo" "$root/usr/bin/kamelo-cli"; do
    readelf -d "$prog" | grep -E -q "NEEDED.*lib(cups|heif|curl|exiv2|tiff|sqlite3)\." && fail "$prog names a library opened on first use"
done

# Installed into a scratch dpkg database, used as root uses it (data/
# beside the program), removed: nothing may stay behind.
target=$scratch/target
mkdir -p "$target/var/lib/dpkg/info" "$target/var/lib/dpkg/updates"
touch "$target/var/lib/dpkg/status"
dpkg_root=(dpkg --root="$target" --force-not-root --force-script-chrootless --force-depends
           --log=/dev/null)
"${dpkg_root[@]}" -i "$deb" >"$scratch/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$scratch/dpkg.log")"
mkdir -p "$scratch/photos" "$scratch/home"
cp "$root/usr/share/icons/hicolor/32x32/apps/kamelo.png" "$scratch/photos/icon.png"
HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/config XDG_DATA_HOME=$scratch/home/share \
    QT_QPA_PLATFORM=offscreen timeout 120 "$target/usr/bin/kamelo-cli" thumbs "$scratch/photos" \
    >/dev/null 2>&1 || fail "kamelo-cli thumbs from the installed package"
if [ "$(id -u)" -eq 0 ] && [ ! -d "$target/usr/lib/kamelo/data/cache" ]; then
    fail "root's run left no data/ beside the program to clean up"
fi
"${dpkg_root[@]}" -P kamelo >"$scratch/dpkg.log" 2>&1 || fail "dpkg -P: $(cat "$scratch/dpkg.log")"
left=$(cd "$target" && find . -mindepth 1 -not -path './var' -not -path './var/*')
[ -z "$left" ] || fail "left after removal: $left"

if command -v lintian >/dev/null 2>&1; then
    lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1
    cat "$scratch/lintian.log"
    grep -q '^[EW]: ' "$scratch/lintian.log" && fail "lintian reports errors or warnings"
else
    echo "lintian not run: not installed"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package $(basename "$deb") good"
