#!/bin/sh
# Runs tst_x11input on a virtual X server, with the window manager given as
# $2 ("none" for none). Exit 77 (skipped) when Xvfb or the window manager is
# missing; the reason is printed on the line after "...: Skipped", where the
# summary at the end of make test reads it.
set -u
test_binary=$1
wm=${2:-none}

if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "tst_x11input: Skipped"
    echo "xvfb-run is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi
if [ "$wm" != none ] && ! command -v "$wm" >/dev/null 2>&1; then
    echo "tst_x11input: Skipped"
    echo "window manager $wm is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi

inner='
if [ "$1" != none ]; then
    "$1" >/dev/null 2>&1 &
    wm_pid=$!
    # Wait until the window manager has taken the screen.
    for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.25
    done
fi
QT_QPA_PLATFORM=xcb "$2"
rc=$?
[ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
exit $rc
'
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c "$inner" sh "$wm" "$test_binary"
