#!/usr/bin/env python3
"""Thumbnail throughput of `kamelo-cli thumbs` against vipsthumbnail
(VIPS_CONCURRENCY=1) and GraphicsMagick on the same camera-size JPEGs, with
and without embedded EXIF thumbnails; peak memory against folder size; and
the time from a cached folder of 1000 pictures to its painted list.

    bench/thumbs_bench.py BUILD_DIR TESTDATA_DIR WORK_DIR
"""
import os
import shutil
import subprocess
import sys
import time

BUILD, TESTDATA, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
CLI = os.path.join(BUILD, "bin", "kamelo-cli")
DB = os.path.join(WORK, "bench.sqlite")
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen", VIPS_CONCURRENCY="1")


def run(cmd, cwd=None):
    """Runs a command; returns (seconds, peak resident KB)."""
    start = time.perf_counter()
    p = subprocess.Popen(cmd, env=ENV, cwd=cwd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s" % " ".join(cmd[:4]))
    return seconds, usage.ru_maxrss


def best(cmd, runs=3, cwd=None):
    results = [run(cmd, cwd) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


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


def main():
    os.makedirs(WORK, exist_ok=True)
    src = make_sources()
    plain = folder("plain200", "p", 200, src)
    stamped = folder("stamped200", "s", 200, src)
    cache = os.path.join(WORK, "cache")
    kamelo = [CLI, "--db", DB, "thumbs"]

    t_stamp, m_stamp = best(kamelo + [stamped, "--cache", cache])
    t_full, m_full = best(kamelo + [stamped, "--no-stamp", "--cache", cache])
    out = os.path.join(WORK, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    files = sorted(os.path.join(plain, f) for f in os.listdir(plain))
    t_vips, _ = best(["vipsthumbnail", "-s", "100x65", "-o", out + "/%s.jpg"] + files)
    # One GraphicsMagick process for all files, as the others run.
    script = os.path.join(WORK, "gm-batch.txt")
    with open(script, "w") as f:
        for i, path in enumerate(files):
            f.write('convert -size 200x130 "%s" -thumbnail 100x65 "%s/gm%04d.jpg"\n'
                    % (path, out, i))
    t_gm, _ = best(["gm", "batch", "-stop-on-error", "on", script])
    t_plain, _ = best(kamelo + [plain, "--cache", cache])

    print("200 JPEGs of 4000x3000 (12 MP), thumbnail box 100x65")
    print("%-40s %7.2f s, full decoding %7.2f s: %.1fx faster" %
          ("with embedded thumbnails", t_stamp, t_full, t_full / t_stamp))
    report("without embedded thumbnails", t_plain, t_vips, "vipsthumbnail (1 thread)")
    report("without embedded thumbnails", t_plain, t_gm, "gm convert -thumbnail")

    mems = []
    for count in (50, 200, 400):
        path = folder("plain%d" % count, "p", count, src)
        mems.append((count, run(kamelo + [path, "--no-stamp", "--cache", cache])[1]))
    print("peak memory by folder size: " +
          ", ".join("%d pictures %d MB" % (n, kb // 1024) for n, kb in mems))

    small = os.path.join(WORK, "small1000")
    if not (os.path.isdir(small) and len(os.listdir(small)) == 1000):
        shutil.rmtree(small, ignore_errors=True)
        os.makedirs(small)
        one = os.path.join(WORK, "one.jpg")
        subprocess.run(["gm", "convert", os.path.join(src, "p00.jpg"), "-resize", "640x480",
                        one], check=True)
        for i in range(1000):
            os.link(one, os.path.join(small, "img%04d.jpg" % i))
    cache1000 = os.path.join(WORK, "cache1000")
    run(kamelo + [small, "--cache", cache1000])
    subprocess.run([os.path.join(BUILD, "bin", "thumblist_bench"), small, cache1000, DB],
                   env=ENV, check=True)


if __name__ == "__main__":
    main()
