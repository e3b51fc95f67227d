#!/usr/bin/env python3
"""Frame decoration by `kamelo-cli frame --out-dir` against GraphicsMagick,
run side by side: COUNT generated 4000 x 3000 JPEGs carrying a camera
file's EXIF, a bundled skin, a 32-point Korean text and quality 96. The
reference is a loop of `gm composite` (the picture onto a frame canvas made
beforehand) and `gm convert -draw text` at quality 96, one file at a time.
kamelo is timed with one thread (the same work as the loop) and with all
cores, and its peak memory is compared between a tenth of the files and all
of them: it must stay flat.

    bench/frame_bench.py BUILD_DIR TESTDATA_DIR WORK_DIR [COUNT]

COUNT is the number of pictures (100 when not given)."""
import os
import shutil
import subprocess
import sys
import time

BUILD, TESTDATA, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
COUNT = int(sys.argv[4]) if len(sys.argv) > 4 else 100
CLI = os.path.join(BUILD, "bin", "kamelo-cli")
SKIN = "wood"
TEXT = "가을 소풍 2026"
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen", OMP_NUM_THREADS="1",
           XDG_CONFIG_HOME=os.path.join(WORK, "config"))
SOURCE = os.path.join(TESTDATA, "camera", "Canon_40D.jpg")


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def timed(cmd):
    """Seconds and peak resident kilobytes of one command."""
    start = time.perf_counter()
    p = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, env=ENV, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    if p.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (p.returncode, " ".join(cmd[:6]), p.stderr[-2000:]))
    return seconds, int(p.stderr.strip().splitlines()[-1])


def korean_font_file():
    out = subprocess.run(["fc-match", "-f", "%{file}", "sans-serif:lang=ko"], check=True,
                         capture_output=True, text=True).stdout
    return out.strip()


def skin_margins():
    ini = os.path.join(BUILD, "bin", "skin", SKIN + ".ini")
    values = {}
    with open(ini, encoding="utf-8") as f:
        for line in f:
            if "=" in line:
                k, v = line.strip().split("=", 1)
                values[k.upper()] = v
    return (int(values["START_X"]), int(values["START_Y"]), int(values["MARGIN_X"]),
            int(values["MARGIN_Y"]))


def pictures():
    """COUNT copies of a 4000 x 3000 JPEG with the camera file's EXIF."""
    folder = os.path.join(WORK, "in")
    first = os.path.join(folder, "p000.jpg")
    names = [os.path.join(folder, "p%03d.jpg" % i) for i in range(COUNT)]
    if all(os.path.exists(n) for n in names):
        return names
    fresh(folder)
    subprocess.run(["gm", "convert", SOURCE, "-resize", "4000x3000!", "-quality", "92", "+profile",
                    "*", first], check=True)
    camera = os.path.join(folder, "camera.jpg")
    shutil.copy(SOURCE, camera)
    subprocess.run(["exiv2", "-q", "-ea", camera], check=True)  # camera.exv
    shutil.copy(os.path.join(folder, "camera.exv"), os.path.join(folder, "p000.exv"))
    subprocess.run(["exiv2", "-q", "-ia", first], check=True)
    for n in names[1:]:
        shutil.copy(first, n)
    for extra in ("camera.jpg", "camera.exv", "p000.exv"):
        os.remove(os.path.join(folder, extra))
    return names


def kamelo(files, jobs):
    out = fresh(os.path.join(WORK, "kamelo"))
    return timed([CLI, "frame", "--skin", SKIN, "--text", TEXT, "--font", "NanumGothic",
                  "--size", "32", "--colour", "FFFFFF", "--text-pos", "1", "--text-offset",
                  "0,-40", "--jobs", str(jobs), "--out-dir", out] + files)


def gm_loop(files, canvas, start, size, font):
    out = fresh(os.path.join(WORK, "gm"))
    cw, ch = size
    start_time = time.perf_counter()
    peak = 0
    for f in files:
        framed = os.path.join(out, "framed.miff")
        _, m1 = timed(["gm", "composite", "-geometry", "+%d+%d" % start, f, canvas, framed])
        # Centred at the bottom as kamelo places it (gm's -gravity does the centring).
        _, m2 = timed(["gm", "convert", framed, "-font", font, "-density", "96", "-pointsize",
                       "32", "-fill", "white", "-gravity", "South", "-draw",
                       "text 0,40 '%s'" % TEXT, "-quality", "96",
                       os.path.join(out, os.path.basename(f))])
        peak = max(peak, m1, m2)
    os.remove(os.path.join(out, "framed.miff"))
    return time.perf_counter() - start_time, peak, (cw, ch)


def main():
    os.makedirs(WORK, exist_ok=True)
    files = pictures()
    font = korean_font_file()
    sx, sy, mx, my = skin_margins()
    # The frame canvas gm pastes onto: kamelo's frame round a blank picture.
    blank = os.path.join(WORK, "blank.png")
    subprocess.run(["gm", "convert", "-size", "4000x3000", "xc:white", blank], check=True)
    canvas = os.path.join(WORK, "canvas.png")
    if os.path.exists(canvas):
        os.remove(canvas)
    subprocess.run([CLI, "frame", "--skin", SKIN, "--out", canvas, blank], env=ENV, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    cores = os.cpu_count() or 1
    with open("/proc/loadavg") as f:
        load = f.read().split()[0]
    tenth = files[:max(1, COUNT // 10)]
    _, small_peak = kamelo(tenth, 1)
    t_k1, peak1 = kamelo(files, 1)
    t_kn, peakn = kamelo(files, cores)
    t_g, peak_g, _ = gm_loop(files, canvas, (sx, sy), (4000 + mx, 3000 + my), font)
    print("frame, %d x 4000x3000 JPEG, skin %s, 32 pt Korean text, quality 96 (load %s):"
          % (COUNT, SKIN, load))
    print("  kamelo 1 thread %.2f s (%.3f s/file), %d threads %.2f s; gm loop %.2f s "
          "(%.3f s/file); kamelo/gm %.2f (1 thread), %.2f (%d threads)"
          % (t_k1, t_k1 / COUNT, cores, t_kn, t_g, t_g / COUNT, t_k1 / t_g, t_kn / t_g, cores))
    print("  peak memory: kamelo %.0f MB for %d files, %.0f MB for %d (1 thread), %.0f MB "
          "(%d threads); gm %.0f MB a step"
          % (small_peak / 1024, len(tenth), peak1 / 1024, COUNT, peakn / 1024, cores,
             peak_g / 1024))


if __name__ == "__main__":
    main()
