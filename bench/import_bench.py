#!/usr/bin/env python3
"""Camera import by `kamelo-cli import` against `cp -r` and `rsync -a`, run
side by side in interleaved rounds: COUNT camera JPEGs (copies of the shared
camera samples) from one folder to another on the same file system, with a
warm cache. The import names files by their EXIF date (--rule 2) without
turning them, so the date is read from the bytes read for the copy. Also
reported, without a goal: auto rotate on, and "Delete source" on (checksum
of the bytes read against the copy read back after fsync).

    bench/import_bench.py BUILD_DIR TESTDATA_DIR WORK_DIR [COUNT] [ROUNDS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

BUILD, TESTDATA, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
COUNT = int(sys.argv[4]) if len(sys.argv) > 4 else 500
ROUNDS = int(sys.argv[5]) if len(sys.argv) > 5 else 5
CLI = os.path.join(BUILD, "bin", "kamelo-cli")
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen",
           XDG_CONFIG_HOME=os.path.join(WORK, "config"))
SRC = os.path.join(WORK, "card")


def make_card():
    shutil.rmtree(SRC, ignore_errors=True)
    os.makedirs(os.path.join(SRC, "DCIM", "100CAM"))
    samples = sorted(f for f in os.listdir(os.path.join(TESTDATA, "camera"))
                     if f.lower().endswith((".jpg", ".jpeg")))
    total = 0
    for i in range(COUNT):
        name = samples[i % len(samples)]
        ext = os.path.splitext(name)[1]
        to = os.path.join(SRC, "DCIM", "100CAM", "IMG_%04d%s" % (i + 1, ext))
        shutil.copyfile(os.path.join(TESTDATA, "camera", name), to)
        total += os.path.getsize(to)
    return total


def warm(folder):
    for root, _, files in os.walk(folder):
        for f in files:
            with open(os.path.join(root, f), "rb") as h:
                while h.read(1 << 20):
                    pass


def timed(cmd):
    start = time.perf_counter()
    p = subprocess.run(cmd, env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    took = time.perf_counter() - start
    if p.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (p.returncode, " ".join(cmd), p.stderr.decode()[-500:]))
    return took


def out(name):
    path = os.path.join(WORK, name)
    shutil.rmtree(path, ignore_errors=True)
    # The previous run's writes and this deletion reach the disk before the
    # next timing: a tool that syncs its own files would otherwise wait for
    # the journal work of whatever ran before it.
    os.sync()
    return path


def main():
    os.makedirs(WORK, exist_ok=True)
    size = make_card()
    warm(SRC)
    tools = {
        "cp -r": lambda d: ["cp", "-r", SRC, d],
        "rsync -a": lambda d: ["rsync", "-a", SRC + "/", d + "/"],
        "kamelo import": lambda d: [CLI, "import", SRC, d, "--rule", "2", "--no-rotate"],
        "kamelo import, auto rotate": lambda d: [CLI, "import", SRC, d, "--rule", "2"],
    }
    times = {k: [] for k in tools}
    delete_times = []
    names = list(tools)
    for r in range(ROUNDS):
        # A different order each round, so no tool always runs on a cache
        # the one before it warmed.
        order = names[r % len(names):] + names[:r % len(names)]
        for k in order:
            d = out("out")
            times[k].append(timed(tools[k](d)))
        # Delete source needs a fresh card of its own; making it is not timed.
        card2 = out("card2")
        shutil.copytree(SRC, card2)
        warm(card2)
        d = out("out")
        delete_times.append(timed([CLI, "import", card2, d, "--rule", "2", "--no-rotate",
                                   "--delete-source"]))
    shutil.rmtree(os.path.join(WORK, "out"), ignore_errors=True)
    shutil.rmtree(os.path.join(WORK, "card2"), ignore_errors=True)
    med = {k: statistics.median(v) for k, v in times.items()}
    med_delete = statistics.median(delete_times)
    print("import of %d camera JPEGs (%.1f MB), median of %d interleaved rounds:"
          % (COUNT, size / 1e6, ROUNDS))
    for k in names:
        print("  %-28s %7.3f s" % (k, med[k]))
    print("  %-28s %7.3f s" % ("kamelo import, delete source", med_delete))
    cp = med["cp -r"]
    print("ratios: kamelo/cp %.2f (goal <= 1.20), kamelo/rsync %.2f, "
          "auto rotate/cp %.2f, delete source/cp %.2f"
          % (med["kamelo import"] / cp, med["kamelo import"] / med["rsync -a"],
             med["kamelo import, auto rotate"] / cp, med_delete / cp))


main()
