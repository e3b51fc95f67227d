#!/bin/sh
# Prints what lies under $1, one path a line, sorted: files as they are,
# folders with a trailing "/" when they are empty or are the program folder,
# links as "path -> target". The install tests compare it with
# installed-files.txt.
set -eu
cd "$1"
find . -mindepth 1 \( -type l -printf '%P -> %l\n' \) -o \( -type f -printf '%P\n' \) \
    -o \( -type d -empty -printf '%P/\n' \) -o \( -type d -path ./lib/kamelo -printf '%P/\n' \) |
    LC_ALL=C sort
