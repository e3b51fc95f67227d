#!/usr/bin/env python3
"""Start-up of `kamelo FILE` on a 24-megapixel JPEG, measured in the real
program: from the process start to the first painted picture (any band, at
any decode scale), to the whole picture painted at the size it is shown, and
to the full picture's pixels on screen, from the paints it logs with
KAMELO_TRACE_PAINT=1; beside a full `djpeg` decode of the same file.

    bench/startup_bench.py BUILD_DIR TESTDATA_DIR WORK_DIR [ROUNDS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BUILD, TESTDATA, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
ROUNDS = int(sys.argv[4]) if len(sys.argv) > 4 else 7
KAMELO = os.path.join(BUILD, "bin", "kamelo")


def picture():
    """A 6000x4000 camera JPEG made from the sample pictures."""
    path = os.path.join(WORK, "24mp.jpg")
    if not os.path.exists(path):
        os.makedirs(WORK, exist_ok=True)
        src = os.path.join(TESTDATA, "camera", "Canon_40D.jpg")
        subprocess.run(["gm", "convert", src, "-resize", "6000x4000!", "-quality", "92", path],
                       check=True)
    return path


def environment(home):
    return dict(os.environ, QT_QPA_PLATFORM="offscreen", KAMELO_TRACE_PAINT="1", HOME=home,
                XDG_CONFIG_HOME=os.path.join(home, ".config"),
                XDG_DATA_HOME=os.path.join(home, ".local", "share"))


def quiet_start(home):
    """No file association question at start-up: it would hold the window."""
    subprocess.run([os.path.join(BUILD, "bin", "kamelo-cli"), "settings", "set", "general",
                    "check file association", "1", "--int"], env=environment(home),
                   check=True, stdout=subprocess.DEVNULL)


def kamelo_round(path, home):
    """Milliseconds from the start to the first band, to the whole picture
    at its shown size and to the full pixels painted."""
    env = environment(home)
    start = time.time() * 1000.0
    p = subprocess.Popen([KAMELO, path], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    first = whole = sharp = None
    try:
        for line in p.stderr:
            parts = line.split()
            if len(parts) < 4 or parts[0] != "kamelo-paint":
                continue
            at = float(parts[1]) - start
            kind = parts[2]
            rows, height = (int(v) for v in parts[3].split("/"))
            if kind in ("band", "scaled", "whole") and first is None:
                first = at
            # The last band, the smaller decode or the full picture: every
            # row of the picture is on screen.
            if whole is None and (kind in ("scaled", "whole") or
                                  (kind == "band" and rows >= height > 0)):
                whole = at
            if kind == "whole":
                sharp = at
                break
    finally:
        p.kill()
        p.wait()
    if first is None or whole is None or sharp is None:
        sys.exit("kamelo painted no picture")
    return first, whole, sharp


def djpeg_round(path):
    start = time.perf_counter()
    subprocess.run(["djpeg", "-outfile", "/dev/null", path], check=True)
    return (time.perf_counter() - start) * 1000.0


def main():
    path = picture()
    home = tempfile.mkdtemp(prefix="kamelo-startup-")
    try:
        quiet_start(home)
        kamelo_round(path, home)  # settings made, caches warm
        firsts, wholes, sharps, djpegs = [], [], [], []
        for _ in range(ROUNDS):  # interleaved, so load changes hit both
            f, w, s = kamelo_round(path, home)
            firsts.append(f)
            wholes.append(w)
            sharps.append(s)
            djpegs.append(djpeg_round(path))
    finally:
        shutil.rmtree(home, ignore_errors=True)
    first, whole, sharp, dj = (statistics.median(v) for v in (firsts, wholes, sharps, djpegs))
    print("kamelo FILE.jpg (6000x4000), median of %d, load average %.2f %.2f %.2f"
          % ((ROUNDS,) + os.getloadavg()))
    print("  first painted picture %6.0f ms   (goal <= 180 ms)   range %.0f-%.0f"
          % (first, min(firsts), max(firsts)))
    print("  whole picture painted %6.0f ms   (goal <= 250 ms)   djpeg %4.0f ms   ratio %.2f"
          % (whole, dj, whole / dj))
    print("  full pixels painted   %6.0f ms                      range %.0f-%.0f"
          % (sharp, min(sharps), max(sharps)))


if __name__ == "__main__":
    main()
