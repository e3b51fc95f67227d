#!/usr/bin/env python3
"""Thumbnail throughput of `kamelo-cli thumbs` against vipsthumbnail
and GraphicsMagick on the same camera-size JPEGs, with and without embedded
EXIF thumbnails, with one decoding thread and with all of them; peak memory
(/usr/bin/time -v) at 1,000 and 10,000 pictures; and the time from a cached
folder of 1000 pictures to its painted list.

    bench/thumbs_bench.py BUILD_DIR TESTDATA_DIR WORK_DIR [PART...]

PART is one of speed, memory, list (all of them when none is given).
"""
import os
import shutil
import subprocess
import sys
import time

BUILD, TESTDATA, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
PARTS = set(sys.argv[4:]) or {"speed", "memory", "list"}
CLI = os.path.join(BUILD, "bin", "kamelo-cli")
DB = os.path.join(WORK, "bench.sqlite")
CORES = os.cpu_count() or 1
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen", VIPS_CONCURRENCY="1")
ENV_ALL = dict(ENV, VIPS_CONCURRENCY=str(CORES))


def run(cmd, cwd=None, env=ENV):
    """Runs a command; returns (seconds, peak resident KB)."""
    start = time.perf_counter()
    p = subprocess.Popen(cmd, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s" % " ".join(cmd[:4]))
    return seconds, usage.ru_maxrss


def best(cmd, runs=3, cwd=None, env=ENV):
    results = [run(cmd, cwd, env) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


def peak_memory(cmd, env=ENV):
    """Maximum resident set size in KB as /usr/bin/time -v reports it."""
    p = subprocess.run(["/usr/bin/time", "-v"] + cmd, env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    if p.returncode != 0:
        sys.exit("failed: %s" % " ".join(cmd[:4]))
    for line in p.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.rsplit(":", 1)[1])
    sys.exit("no memory figure from /usr/bin/time")


def load():
    return "load average %.2f %.2f %.2f" % os.getloadavg()


def make_sources():
    """Ten 12-megapixel JPEGs made from the camera samples, with a thumbnail."""
    src = os.path.join(WORK, "sources")
    if os.path.isdir(src) and len(os.listdir(src)) >= 20:
        return src
    os.makedirs(src, exist_ok=True)
    camera = sorted(f for f in os.listdir(os.path.join(TESTDATA, "camera"))
                    if f.lower().endswith(".jpg"))[:10]
    for i, name in enumerate(camera):
        base = os.path.join(src, "p%02d.jpg" % i)
        subprocess.run(["gm", "convert", os.path.join(TESTDATA, "camera", name), "-resize",
                        "4000x3000!", "-quality", "90", "+profile", "*", base], check=True)
        thumb = os.path.join(src, "p%02d-thumb.jpg" % i)
        subprocess.run(["gm", "convert", base, "-resize", "160x120", "-quality", "80", thumb],
                       check=True)
        with_stamp = os.path.join(src, "s%02d.jpg" % i)
        shutil.copy(base, with_stamp)
        shutil.copy(thumb, os.path.join(src, "s%02d-thumb.jpg" % i))
        subprocess.run(["exiv2", "-it", with_stamp], check=True, stdout=subprocess.DEVNULL)
    return src


def folder(name, prefix, count, src):
    path = os.path.join(WORK, name)
    if os.path.isdir(path) and len(os.listdir(path)) == count:
        return path
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    for i in range(count):
        os.link(os.path.join(src, "%s%02d.jpg" % (prefix, i % 10)),
                os.path.join(path, "img%04d.jpg" % i))
    return path


def report(what, ours, theirs, tool):
    print("%-40s ours %7.2f s   %-28s %7.2f s   ratio %.2f" % (what, ours, tool, theirs,
                                                             ours / theirs))


def speed(src):
    plain = folder("plain200", "p", 200, src)
    stamped = folder("stamped200", "s", 200, src)
    cache = os.path.join(WORK, "cache")
    kamelo = [CLI, "--db", DB, "thumbs"]

    t_stamp, _ = best(kamelo + [stamped, "--cache", cache])
    t_full, _ = best(kamelo + [stamped, "--no-stamp", "--cache", cache])
    out = os.path.join(WORK, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    files = sorted(os.path.join(plain, f) for f in os.listdir(plain))
    vips = ["vipsthumbnail", "-s", "100x65", "-o", out + "/%s.jpg"] + files
    t_vips, _ = best(vips)
    t_vips_all, _ = best(vips, env=ENV_ALL)
    # One GraphicsMagick process for all files, as the others run.
    script = os.path.join(WORK, "gm-batch.txt")
    with open(script, "w") as f:
        for i, path in enumerate(files):
            f.write('convert -size 200x130 "%s" -thumbnail 100x65 "%s/gm%04d.jpg"\n'
                    % (path, out, i))
    t_gm, _ = best(["gm", "batch", "-stop-on-error", "on", script])
    t_one, _ = best(kamelo + [plain, "--jobs", "1", "--cache", cache])
    t_plain, _ = best(kamelo + [plain, "--cache", cache])

    print("200 JPEGs of 4000x3000 (12 MP), thumbnail box 100x65, %d cores, %s"
          % (CORES, load()))
    print("%-40s %7.2f s, full decoding %7.2f s: %.1fx faster" %
          ("with embedded thumbnails", t_stamp, t_full, t_full / t_stamp))
    report("without thumbnails, 1 thread", t_one, t_vips, "vipsthumbnail (1 thread)")
    report("without thumbnails, all threads", t_plain, t_vips, "vipsthumbnail (1 thread)")
    report("without thumbnails, all threads", t_plain, t_vips_all,
           "vipsthumbnail (%d threads)" % CORES)
    report("without thumbnails, all threads", t_plain, t_gm, "gm convert -thumbnail")
    print("%-40s %.2fx (%d threads against 1); goal: all threads at most 0.45x"
          " vipsthumbnail with 1" % ("ours, all threads against ours, 1", t_plain / t_one, CORES))


def small_picture(src):
    one = os.path.join(WORK, "one.jpg")
    if not os.path.isfile(one):
        subprocess.run(["gm", "convert", os.path.join(src, "p00.jpg"), "-resize", "640x480",
                        one], check=True)
    return one


def small_folder(name, count, src):
    path = os.path.join(WORK, name)
    if not (os.path.isdir(path) and len(os.listdir(path)) == count):
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        one = small_picture(src)
        for i in range(count):
            os.link(one, os.path.join(path, "img%05d.jpg" % i))
    return path


def memory(src):
    """Peak memory of a whole folder's thumbnails; the pictures are one
    640x480 JPEG linked many times, so the figures show what grows with the
    folder, not the cost of big decodes."""
    print("peak memory (/usr/bin/time -v), folders of 640x480 JPEGs, %s" % load())
    for count in (1000, 10000):
        path = small_folder("small%d" % count, count, src)
        cache = os.path.join(WORK, "cache-mem")
        ours = peak_memory([CLI, "--db", DB, "thumbs", path, "--no-stamp", "--cache", cache])
        out = os.path.join(WORK, "out-mem")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        files = sorted(os.path.join(path, f) for f in os.listdir(path))
        theirs = peak_memory(["vipsthumbnail", "-s", "100x65", "-o", out + "/%s.jpg"] + files)
        print("%6d pictures: ours %4d MB   vipsthumbnail (1 thread) %4d MB   ratio %.2f"
              " (goal: ours at most 60 MB at 10,000)"
              % (count, ours // 1024, theirs // 1024, ours / theirs))


def painted_list(src):
    small = small_folder("small1000", 1000, src)
    kamelo = [CLI, "--db", DB, "thumbs"]
    cache1000 = os.path.join(WORK, "cache1000")
    run(kamelo + [small, "--cache", cache1000])
    subprocess.run([os.path.join(BUILD, "bin", "thumblist_bench"), small, cache1000, DB],
                   env=ENV, check=True)


def main():
    os.makedirs(WORK, exist_ok=True)
    src = make_sources()
    if "speed" in PARTS:
        speed(src)
    if "memory" in PARTS:
        memory(src)
    if "list" in PARTS:
        painted_list(src)


if __name__ == "__main__":
    main()
