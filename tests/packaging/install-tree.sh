#!/bin/bash
# Installs the build into a scratch prefix and runs the installed copy:
#   install-tree.sh BUILD_DIR SOURCE_DIR
# Checks the file list, the links into the program folder, kamelo-cli thumbs
# with the cache in the program folder, a read-only program folder moving
# data/ to $XDG_DATA_HOME/kamelo, kamelo started offscreen on a picture and
# ended by SIGTERM, the manual pages and the bash completion.
set -u
build=$1
source=$2
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
cleanup() {
    chmod -R u+w "$scratch" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

prefix=$scratch/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
    cat "$scratch/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

# What was installed, exactly.
"$here/listtree.sh" "$prefix" >"$scratch/files.txt"
if ! diff -u "$here/installed-files.txt" "$scratch/files.txt"; then
    fail "installed files differ from installed-files.txt"
fi
for program in kamelo kamelo-cli; do
    [ "$(readlink -f "$prefix/bin/$program")" = "$(readlink -f "$prefix/lib/kamelo/$program")" ] ||
        fail "bin/$program does not lead to the program folder"
done
grep -qx "VERSION=$(sed -n 's/^project(Kamelo VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")" \
    "$prefix/lib/kamelo/kamelo.ini" || fail "kamelo.ini does not hold the project version"

# A folder with two pictures (written by the installed tool itself from a
# BMP made here, so no test file is needed).
photos=$scratch/photos
mkdir -p "$photos" "$scratch/home"
python3 - "$photos/a.bmp" <<'PY'
import struct, sys
w, h = 8, 6
row = bytes([40, 120, 200] * w)
pixels = row * h
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
PY
cli=$prefix/bin/kamelo-cli
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/userdata
export QT_QPA_PLATFORM=offscreen
timeout 60 "$cli" resave "$photos/a.bmp" "$photos/b.png" || fail "kamelo-cli resave"

expected_version="Kamelo $(sed -n 's/^VERSION=//p' "$prefix/lib/kamelo/kamelo.ini")"
[ "$(timeout 60 "$cli" --version)" = "$expected_version" ] || fail "kamelo-cli --version"

# Writable program folder: data/ beside the program.
out=$(timeout 120 "$cli" thumbs "$photos" 2>&1) || fail "kamelo-cli thumbs: $out"
echo "$out" | grep -qx "pictures: 2" || fail "thumbs counted: $out"
ls "$prefix/lib/kamelo/data/cache/"*.lis >/dev/null 2>&1 ||
    fail "no cache in the writable program folder"
[ ! -e "$XDG_DATA_HOME/kamelo" ] || fail "data moved although the program folder is writable"

# The photo program, offscreen, on a picture: it starts with the viewer,
# and SIGTERM ends it the way closing it does, settings saved.
rm -rf "$prefix/lib/kamelo/data"
"$prefix/bin/kamelo" "$photos/b.png" >"$scratch/kamelo.log" 2>&1 &
pid=$!
started=
for _ in $(seq 1 600); do
    if [ -d "$prefix/lib/kamelo/data/temp" ]; then
        started=1
        break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$started" ] || fail "kamelo did not prepare its data folder: $(cat "$scratch/kamelo.log")"
kill -TERM "$pid" 2>/dev/null
for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    fail "kamelo did not end on SIGTERM"
fi
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "kamelo ended with $status: $(cat "$scratch/kamelo.log")"
saved=$(timeout 60 "$cli" settings get position "viewer maximize" 2>&1) ||
    fail "the viewer's settings were not saved at the end: $saved"

# Read-only program folder: data/ under $XDG_DATA_HOME/kamelo. Root writes
# through permission bits, so it runs the program as nobody instead.
rm -rf "$prefix/lib/kamelo/data"
chmod -R a-w "$prefix"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    if command -v setpriv >/dev/null 2>&1 && id nobody >/dev/null 2>&1; then
        chmod 755 "$scratch"
        chmod -R a+rX "$photos"
        mkdir -p "$scratch/nobody"
        chown nobody "$scratch/nobody"
        as_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
        readonly_home=$scratch/nobody
    else
        echo "read-only program folder not checked: root without setpriv"
    fi
else
    readonly_home=$scratch/home
fi
if [ -n "${readonly_home:-}" ]; then
    out=$(HOME=$readonly_home XDG_CONFIG_HOME=$readonly_home/config \
          XDG_DATA_HOME=$readonly_home/share timeout 120 "${as_user[@]}" "$cli" thumbs "$photos" 2>&1) ||
        fail "kamelo-cli thumbs from a read-only program folder: $out"
    [ ! -e "$prefix/lib/kamelo/data" ] || fail "data/ made in the read-only program folder"
    ls "$readonly_home/share/kamelo/cache/"*.lis >/dev/null 2>&1 ||
        fail "no cache under \$XDG_DATA_HOME/kamelo for a read-only program folder"
    [ -d "$readonly_home/share/kamelo/temp" ] || fail "no temp under \$XDG_DATA_HOME/kamelo"
fi

# Manual pages: render without warnings and say what --help says.
for page in kamelo kamelo-cli; do
    file=$prefix/share/man/man1/$page.1.gz
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$file" 2>/dev/null | col -b >"$scratch/$page.txt"
    grep -q "^NAME" "$scratch/$page.txt" || fail "man $page has no NAME section"
done
# Every command --help lists, with its summary and options, is on the page.
commands=$(timeout 60 "$cli" --help | awk '/^명령:/ { on = 1; next } /^$/ { on = 0 } on && /^  [a-z]/ { print $1 }' | sort -u)
[ -n "$commands" ] || fail "kamelo-cli --help lists no commands"
for command in $commands; do
    help=$(timeout 60 "$cli" "$command" --help)
    summary=$(echo "$help" | awk 'NF == 0 { getline; sub(/^ +/, ""); print; exit }')
    grep -qF -- "$summary" "$scratch/kamelo-cli.txt" || fail "man kamelo-cli lacks: $summary"
    for option in $(echo "$help" | grep -o -- '--[a-z-]*' | sort -u); do
        grep -qF -- "$option" "$scratch/kamelo-cli.txt" || fail "man kamelo-cli lacks $command $option"
    done
done

# Completion: valid bash, and it completes commands, sub-commands and options.
completion=$prefix/share/bash-completion/completions/kamelo-cli
bash -n "$completion" || fail "completion script does not parse"
complete_words() {
    bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _kamelo_cli
        ((${#COMPREPLY[@]} == 0)) || printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@" | LC_ALL=C sort | tr '\n' ' '
}
[ "$(complete_words kamelo-cli th)" = "thumbs " ] || fail "completion of th: $(complete_words kamelo-cli th)"
[ "$(complete_words kamelo-cli --db x.sqlite ca)" = "cache " ] || fail "completion after --db"
[ "$(complete_words kamelo-cli cache "")" = "show " ] || fail "completion of cache's sub-command"
[ "$(complete_words kamelo-cli thumbs --j)" = "--jobs " ] || fail "completion of --j"
[ "$(complete_words kamelo-cli settings d)" = "delete dump " ] || fail "completion of settings d"
mkdir -p "$scratch/comp/dir one" && touch "$scratch/comp/file"
[ "$(complete_words kamelo-cli thumbs "$scratch/comp/")" = "$scratch/comp/dir one " ] ||
    fail "thumbs completes folders only: $(complete_words kamelo-cli thumbs "$scratch/comp/")"
[ "$(complete_words kamelo-cli convert --out "$scratch/comp/")" = "$scratch/comp/dir one " ] ||
    fail "--out completes folders only"
[ -z "$(complete_words kamelo-cli thumbs --jobs "")" ] || fail "--jobs completes nothing"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "installed copy works"
