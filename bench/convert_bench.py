#!/usr/bin/env python3
"""Format conversion by `kamelo-cli convert` against vips and GraphicsMagick,
run side by side: one 24-megapixel JPEG to PNG and that PNG back to JPEG at
quality 96, then a folder of 12-megapixel JPEGs to PNG and to JPEG quality
85 with one thread (and with all of them, reported apart).

    bench/convert_bench.py BUILD_DIR TESTDATA_DIR WORK_DIR [COUNT]

COUNT is the number of 12-megapixel pictures (100 when not given).
"""
import os
import shutil
import subprocess
import sys
import time

BUILD, TESTDATA, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
COUNT = int(sys.argv[4]) if len(sys.argv) > 4 else 100
CLI = os.path.join(BUILD, "bin", "kamelo-cli")
CORES = os.cpu_count() or 1
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen", VIPS_CONCURRENCY="1",
           OMP_NUM_THREADS="1", XDG_CONFIG_HOME=os.path.join(WORK, "config"))
SOURCE = os.path.join(TESTDATA, "camera", "Canon_40D.jpg")


def run(cmd, cwd=None):
    start = time.perf_counter()
    p = subprocess.run(cmd, env=ENV, cwd=cwd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    if p.returncode != 0:
        sys.exit("failed: %s" % " ".join(cmd[:5]))
    return time.perf_counter() - start


def best(make_cmd, runs=3):
    """Fastest of a few runs; make_cmd() prepares a fresh output each time."""
    times = []
    for _ in range(runs):
        cmd, out = make_cmd()
        if out and os.path.exists(out):
            shutil.rmtree(out) if os.path.isdir(out) else os.remove(out)
        times.append(run(cmd))
    return min(times)


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def picture(width, height, path):
    if not os.path.exists(path):
        subprocess.run(["gm", "convert", SOURCE, "-resize", "%dx%d!" % (width, height),
                        "-quality", "92", path], check=True)
    return path


def single():
    big = picture(6000, 4000, os.path.join(WORK, "big24.jpg"))
    out = fresh(os.path.join(WORK, "single"))
    k_png = os.path.join(out, "k", "big24.PNG")
    t_k = best(lambda: ([CLI, "convert", "--format", "PNG", "--jobs", "1", "--overwrite",
                         "--out", os.path.dirname(k_png), big], k_png))
    t_v = best(lambda: (["vips", "copy", big, os.path.join(out, "v.png")],
                        os.path.join(out, "v.png")))
    t_g = best(lambda: (["gm", "convert", big, os.path.join(out, "g.png")],
                        os.path.join(out, "g.png")), runs=1)
    size = lambda p: os.path.getsize(p) / 1e6
    print("JPEG -> PNG, 24 MP: kamelo %.2f s (%.1f MB), vips %.2f s (%.1f MB), "
          "gm %.2f s (%.1f MB); kamelo/gm time %.2f, size %.2f"
          % (t_k, size(k_png), t_v, size(os.path.join(out, "v.png")), t_g,
             size(os.path.join(out, "g.png")), t_k / t_g,
             size(k_png) / size(os.path.join(out, "g.png"))))
    png = os.path.join(out, "g.png")
    k_jpg = os.path.join(out, "k", "g.JPG")
    t_k = best(lambda: ([CLI, "convert", "--format", "JPG", "--quality", "96", "--jobs", "1",
                         "--overwrite", "--out", os.path.dirname(k_jpg), png], k_jpg))
    t_v = best(lambda: (["vips", "copy", png, os.path.join(out, "v.jpg[Q=96]")],
                        os.path.join(out, "v.jpg")))
    t_g = best(lambda: (["gm", "convert", png, "-quality", "96", os.path.join(out, "g.jpg")],
                        os.path.join(out, "g.jpg")))
    print("PNG -> JPEG q96, 24 MP: kamelo %.0f ms, vips %.0f ms, gm %.0f ms; kamelo/vips %.2f"
          % (t_k * 1000, t_v * 1000, t_g * 1000, t_k / t_v))


def folder():
    src = os.path.join(WORK, "many")
    os.makedirs(src, exist_ok=True)
    first = picture(4000, 3000, os.path.join(src, "p000.jpg"))
    sources = [first]
    for i in range(1, COUNT):
        path = os.path.join(src, "p%03d.jpg" % i)
        if not os.path.exists(path):
            shutil.copyfile(first, path)
        sources.append(path)
    for fmt, cli_args, gm_args, vips_suffix in (
            ("PNG", ["--format", "PNG"], ["-format", "png"], ".png"),
            ("JPG", ["--format", "JPG", "--quality", "85"], ["-format", "jpg", "-quality", "85"],
             ".jpg[Q=85]")):
        out = os.path.join(WORK, "out-" + fmt)
        t_k1 = run([CLI, "convert", *cli_args, "--jobs", "1", "--out", fresh(out + "-k1"),
                    *sources])
        t_kn = run([CLI, "convert", *cli_args, "--jobs", str(CORES), "--out",
                    fresh(out + "-kn"), *sources])
        gm_out = fresh(out + "-gm")
        t_gm = run(["gm", "mogrify", "-create-directories", "-output-directory", gm_out, *gm_args,
                    *[os.path.basename(s) for s in sources]], cwd=src)
        vips_out = fresh(out + "-vips")
        start = time.perf_counter()
        for s in sources:
            name = os.path.splitext(os.path.basename(s))[0]
            subprocess.run(["vips", "copy", s, os.path.join(vips_out, name + vips_suffix)],
                           env=ENV, check=True)
        t_vips = time.perf_counter() - start
        print("%d x 12 MP JPEG -> %s: kamelo one thread %.1f s, gm mogrify %.1f s, "
              "vips copy loop %.1f s; kamelo/gm %.2f, kamelo/vips %.2f; kamelo --jobs %d %.1f s"
              % (COUNT, fmt, t_k1, t_gm, t_vips, t_k1 / t_gm, t_k1 / t_vips, CORES, t_kn))


if __name__ == "__main__":
    os.makedirs(WORK, exist_ok=True)
    print("load average %.2f %.2f %.2f" % os.getloadavg())
    single()
    folder()
