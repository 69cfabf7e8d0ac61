#!/usr/bin/env python3
"""Times vantel32 against the tools people use instead, on the same trees in one run.

Each job runs every command once to warm the page cache, then --reps rounds in which the
commands alternate. For each command it reports the median wall time, the median CPU time
(user + system, the command and its children), the ratio vantel32/peer of both, and the peak
resident memory (from /usr/bin/time). Every target of the project is then checked and printed
as met or missed. On a loaded machine the CPU ratios are the fairer ones: wall time then
measures the other load as much as the program.

  bench/peers.sh                       everything: about 4 minutes on 2 cores once the trees
                                       exist (making them the first time takes a few more)
  bench/peers.sh --only tree,dup       some jobs: file,tree,scan,compare,dup,million,exclude
  bench/peers.sh --exe OLD/vantel32    time another build, e.g. to compare before and after
  bench/peers.sh --cold --only tree    drop the page cache before every timed run (as root)
  bench/peers.sh --only readers        Info /s and Scan /s with each --jobs value
  bench/peers.sh --only exclude        Info /s with 10 --exclude patterns against without

The read floors are peers too: bench/read_floor.cpp opens, reads in 64 KiB blocks and closes
each file and does nothing else, run as find DIR -type f -print0 | xargs -0 -P N -n 1000 floor
with N readers at once.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEERS = {  # command -> Debian package
    "rhash": "rhash", "7z": "p7zip-full", "cksfv": "cksfv", "hashdeep": "hashdeep",
    "mtree": "mtree-netbsd", "jdupes": "jdupes", "rdfind": "rdfind", "fdupes": "fdupes",
}
JOBS = ["file", "tree", "scan", "compare", "dup", "million", "readers", "exclude"]
COLD = False  # --cold: the page cache is dropped before every timed run
FLOOR = ""  # the read floor program, built by build()


def install_peers():
    missing = sorted({pkg for cmd, pkg in PEERS.items() if shutil.which(cmd) is None})
    if not os.path.exists("/usr/bin/time"):
        missing.append("time")
    if not missing:
        return
    if os.geteuid() != 0:
        sys.exit("missing peers (install them): apt-get install " + " ".join(missing))
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(["apt-get", "update", "-qq"], check=True, env=env)
    subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends"] + missing,
                   check=True, env=env)


def build():
    out = os.path.join(ROOT, "build", "bench-release")
    if not os.path.exists(os.path.join(out, "build.ninja")):
        subprocess.run(["cmake", "-S", ROOT, "-B", out, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", out, "-j2", "--target", "vantel32"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(out, "vantel32")


def build_floor():
    out = os.path.join(ROOT, "build", "bench-release", "read_floor")
    src = os.path.join(ROOT, "bench", "read_floor.cpp")
    if not os.path.exists(out) or os.path.getmtime(out) < os.path.getmtime(src):
        os.makedirs(os.path.dirname(out), exist_ok=True)  # absent when --exe skipped the build
        subprocess.run(["c++", "-O2", "-o", out, src], check=True)
    return out


def floors(tree, counts=(1, 2, 8)):
    return [("read floor, %d reader%s" % (n, "s" if n > 1 else ""),
             "find %s -type f -print0 | xargs -0 -P %d -n 1000 %s" % (tree, n, FLOOR))
            for n in counts]


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def make_big_file(path, size):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    with open(path + ".tmp", "wb") as f:
        for _ in range(size >> 20):
            f.write(os.urandom(1 << 20))
    os.rename(path + ".tmp", path)


def make_generated_tree(root, files):
    """Directories of 100 files with sizes from a small set, so that duplicates exist."""
    if os.path.exists(root + ".done"):
        return
    shutil.rmtree(root, ignore_errors=True)
    rnd = random.Random(1)
    payload = os.urandom(1 << 16)
    for i in range(files):
        d = os.path.join(root, "d%03d" % (i // 1000), "e%02d" % (i // 100 % 10))
        os.makedirs(d, exist_ok=True)
        size = rnd.choice([0, 10, 100, 1000, 4096, 10000, 65536]) + rnd.randrange(0, 64)
        start = rnd.randrange(0, 4) if rnd.random() < 0.5 else rnd.randrange(0, 1 << 15)
        with open(os.path.join(d, "f%05d.dat" % i), "wb") as f:
            f.write(payload[start:start + size])
    open(root + ".done", "w").close()  # beside the tree: a marker inside would be listed


def copy_tree(src, dst):
    if os.path.exists(dst + ".done"):
        return True
    if not os.path.isdir(src):
        return False
    shutil.rmtree(dst, ignore_errors=True)
    subprocess.run(["cp", "-a", src, dst], check=False, stderr=subprocess.DEVNULL)
    open(dst + ".done", "w").close()
    return True


def make_million_tree(root):
    """keep/ and gone/, each 50 x 100 directories of 99 empty files: 1,000,100 entries."""
    if os.path.exists(root + ".done"):
        return
    shutil.rmtree(root, ignore_errors=True)
    for half in ("keep", "gone"):
        for a in range(50):
            for b in range(100):
                d = os.path.join(root, half, "a%02d" % a, "b%02d" % b)
                os.makedirs(d)
                for f in range(99):
                    os.close(os.open(os.path.join(d, "f%02d" % f), os.O_CREAT | os.O_WRONLY))
    open(root + ".done", "w").close()


def run(cmd, cwd):
    """(wall s, CPU s, peak KiB) of one run of a shell command, output discarded.

    The command starts under /usr/bin/time: a child forked from this Python process would
    count Python's own resident memory as its peak."""
    peak_file = os.path.join(cwd, ".peak")
    if COLD:
        drop_caches()
    t = time.perf_counter()
    p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file, "sh", "-c", cmd],
                         cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    _, _, ru = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    p.returncode = 0  # reaped above
    with open(peak_file) as f:
        peak = int(f.read().split()[-1])
    return wall, ru.ru_utime + ru.ru_stime, peak


def job(title, commands, reps, cwd):
    """commands: list of (name, shell command); the first is vantel32's. Returns medians."""
    commands = [(n, c) for n, c in commands if "/" in c.split()[0] or shutil.which(c.split()[0])]
    if not COLD:  # warm the page cache
        for _, c in commands:
            run(c, cwd)
    runs = {n: [] for n, _ in commands}
    for _ in range(reps):
        for n, c in commands:
            runs[n].append(run(c, cwd))
    med = {n: tuple(statistics.median(r[k] for r in runs[n]) for k in range(3)) for n in runs}
    base = med[commands[0][0]]
    print("\n## %s\n" % title)
    print("| tool | wall s | CPU s | vantel32/tool wall | vantel32/tool CPU | peak RSS MiB |")
    print("|---|---|---|---|---|---|")
    for n, _ in commands:
        w, c, k = med[n]
        print("| %s | %.3f | %.3f | %.2f | %.2f | %.1f |" %
              (n, w, c, base[0] / w if w else 0, base[1] / c if c else 0, k / 1024))
    sys.stdout.flush()
    return med


TARGETS = []  # (text, wall ratio, CPU ratio, limit)


def target(text, num, den, limit, factor=1.0):
    if num is None or den is None:
        return
    TARGETS.append((text, num[0] / (factor * den[0]), num[1] / (factor * den[1]), limit))


def report_targets():
    print("\n## Targets\n")
    print("| target | wall ratio | CPU ratio | limit | met (wall / CPU) |")
    print("|---|---|---|---|---|")
    for text, w, c, limit in TARGETS:
        print("| %s | %.2f | %.2f | %.2f | %s / %s |" %
              (text, w, c, limit, "yes" if w <= limit else "NO", "yes" if c <= limit else "NO"))


def scan_setup(exe, tree, data, cat):
    """A fresh catalogue of tree for vantel32, hashdeep and mtree."""
    known = os.path.join(data, "known.hashdeep")
    spec = os.path.join(data, "tree.mtree")
    sh = lambda c: subprocess.run(c, shell=True, cwd=data, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    sh("rm -f %s; %s -ms -s %s -fc %s" % (cat, exe, tree, cat))
    if shutil.which("hashdeep"):
        sh("hashdeep -r %s > %s" % (tree, known))
    if shutil.which("mtree"):
        sh("mtree -c -K cksum -p %s > %s" % (tree, spec))
    return known, spec


def tree_jobs(exe, label, tree, copy, only, reps, data):
    info = "%s -s %s" % (exe, tree)
    get = lambda m, n: m.get(n) if m else None
    if "tree" in only:
        m = job("checksum a whole tree: " + label, [
            ("vantel32 Info /s", info),
            ("find \\| xargs cksum", "find %s -type f -print0 | xargs -0 cksum" % tree),
            ("rhash -r --crc32", "rhash -r --crc32 %s" % tree),
        ] + floors(tree), reps, data)
        floor = "read floor, 8 readers" if COLD else "read floor, 2 readers"
        target("Info /s <= 1.15 x %s (%s)" % (floor, label), get(m, "vantel32 Info /s"),
               get(m, floor), 1.15)
        target("Info /s <= 1.0 x find \\| xargs cksum (%s)" % label, get(m, "vantel32 Info /s"),
               get(m, "find \\| xargs cksum"), 1.0)
        target("Info /s <= 0.5 x rhash -r (%s)" % label, get(m, "vantel32 Info /s"),
               get(m, "rhash -r --crc32"), 0.5)
    if "scan" in only:
        cat = os.path.join(data, "scan.crc")
        known, spec = scan_setup(exe, tree, data, cat)
        m = job("verify a tree against its catalogue (nothing changed): " + label, [
            ("vantel32 Scan /s", "%s -ms -s %s -fc %s" % (exe, tree, cat)),
            ("vantel32 Info /s", info),
            ("hashdeep -r -a -k", "hashdeep -r -a -k %s %s" % (known, tree)),
            ("mtree -f", "mtree -f %s -p %s" % (spec, tree)),
        ], reps, data)
        target("Scan /s <= 0.5 x hashdeep -r -a -k (%s)" % label, get(m, "vantel32 Scan /s"),
               get(m, "hashdeep -r -a -k"), 0.5)
        target("Scan /s <= 1.1 x Info /s (%s)" % label, get(m, "vantel32 Scan /s"),
               get(m, "vantel32 Info /s"), 1.1)
    if "compare" in only and copy:
        m = job("compare two copies of a tree: " + label, [
            ("vantel32 Compare /s", "%s -mc -s %s %s" % (exe, tree, copy)),
            ("vantel32 Info /s", info),
        ], reps, data)
        target("Compare /s <= 1.2 x two Info /s (%s)" % label, get(m, "vantel32 Compare /s"),
               get(m, "vantel32 Info /s"), 1.2, factor=2.0)
    if "dup" in only:
        m = job("find duplicates: " + label, [
            ("vantel32 /md /s", "%s -md -s %s" % (exe, tree)),
            ("jdupes -r -q", "jdupes -r -q %s" % tree),
            ("rdfind -dryrun true", "rdfind -dryrun true -outputname /dev/null %s" % tree),
            ("fdupes -r -q", "fdupes -r -q %s" % tree),
        ], reps, data)
        target("/md /s <= 0.6 x jdupes -r -q (%s)" % label, get(m, "vantel32 /md /s"),
               get(m, "jdupes -r -q"), 0.6)


def readers_job(exe, label, tree, data, reps):
    """Info /s and Scan /s of an unchanged tree with the fitted readers and with each number of
    readers."""
    cat = os.path.join(data, "readers.crc")
    scan_setup(exe, tree, data, cat)
    commands = [("Info /s (readers fitted)", "%s -s %s" % (exe, tree))]
    for n in (1, 2, 3, 4, 6, 8, 16):
        commands.append(("Info /s --jobs=%d" % n, "%s --jobs=%d -s %s" % (exe, n, tree)))
    for n in (1, 2, 4, 8):
        commands.append(("Scan /s --jobs=%d" % n,
                         "%s --jobs=%d -ms -s %s -fc %s" % (exe, n, tree, cat)))
    job("readers: %s" % label, commands + floors(tree), reps, data)


# Ten patterns of the kinds people give (names, folders only, paths) that leave nothing of
# /usr/share out: the walk does the same work, plus every pattern once per entry.
EXCLUDES = ["*.nomatch", "*.o", "*~", ".git", "node_modules/", "*.orig", "*.swp", "CVS/",
            "/cache/*", "doc/*.bak"]


def exclude_job(exe, label, tree, data, reps):
    """Info /s with 10 --exclude patterns against the same Info without them."""
    opts = " ".join("--exclude='%s'" % p for p in EXCLUDES)
    m = job("--exclude: %s" % label, [
        ("Info /s, 10 --exclude", "%s %s -s %s" % (exe, opts, tree)),
        ("Info /s", "%s -s %s" % (exe, tree)),
    ], reps, data)
    target("Info /s with 10 --exclude <= 1.05 x without (%s)" % label,
           m["Info /s, 10 --exclude"], m["Info /s"], 1.05)


def million_job(exe, data, reps):
    """Peak memory over 1,000,100 entries, and a Scan that finds half of them gone."""
    root = os.path.join(data, "million")
    make_million_tree(root)
    m = job("a tree of 1,000,100 entries (most files empty)", [
        ("vantel32 Info /s", "%s -s %s" % (exe, root)),
        ("find \\| xargs cksum", "find %s -type f -print0 | xargs -0 cksum" % root),
    ], max(1, reps // 2), data)
    peak = m["vantel32 Info /s"][2] / 1024
    cat = os.path.join(data, "million.crc")
    saved = cat + ".saved"
    if not os.path.exists(saved):
        subprocess.run("rm -f %s; %s -ms -s %s -fc %s" % (cat, exe, root, cat), shell=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        shutil.copyfile(cat, saved)
    gone, aside = os.path.join(root, "gone"), os.path.join(data, "million-gone-aside")
    times = []
    for _ in range(max(1, reps // 2)):
        shutil.copyfile(saved, cat)
        os.rename(gone, aside)
        try:
            times.append(run("%s -ms -s %s -fc %s" % (exe, root, cat), data))
        finally:
            os.rename(aside, gone)
    w, c, k = (statistics.median(t[i] for t in times) for i in range(3))
    print("\n## Scan of the 1,000,100-entry catalogue after gone/ (500,050 entries) was "
          "deleted\n")
    print("| tool | wall s | CPU s | peak RSS MiB |\n|---|---|---|---|")
    print("| vantel32 Scan /s | %.3f | %.3f | %.1f |" % (w, c, k / 1024))
    TARGETS.append(("peak memory of Info /s on 1,000,100 entries < 200 MiB (MiB)", peak, peak,
                    200.0))
    TARGETS.append(("Scan with half of 1,000,100 entries gone, seconds (< 10 s)", w, c, 10.0))


def machine():
    model = "?"
    try:
        with open("/proc/cpuinfo") as f:
            model = next(l.split(":", 1)[1].strip() for l in f if l.startswith("model name"))
    except (OSError, StopIteration):
        pass
    return "%s, %d cores, load average %.2f" % (model, os.cpu_count(), os.getloadavg()[0])


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--reps", type=int, default=5, help="timed rounds per job (default 5)")
    ap.add_argument("--data", default=os.path.join(ROOT, "build", "bench-data"),
                    help="where the trees are made (default build/bench-data)")
    ap.add_argument("--real", default="/usr/share", help="real tree to copy (default /usr/share)")
    ap.add_argument("--files", type=int, default=20000,
                    help="files in the generated tree; 0 leaves it out (default 20000)")
    ap.add_argument("--big-mib", type=int, default=1024, help="size of the one big file")
    ap.add_argument("--only", default="", help="comma list of jobs: " + ",".join(JOBS))
    ap.add_argument("--exe", default="", help="time this vantel32 instead of building one")
    ap.add_argument("--cold", action="store_true",
                    help="drop the page cache before every timed run (root only)")
    a = ap.parse_args()
    global COLD, FLOOR
    COLD = a.cold
    if COLD and os.geteuid() != 0:
        sys.exit("--cold drops the page cache: run as root")
    only = set(a.only.split(",")) if a.only else set(JOBS)
    if only - set(JOBS):
        sys.exit("unknown job: " + ",".join(sorted(only - set(JOBS))))
    install_peers()
    exe = os.path.abspath(a.exe) if a.exe else build()
    FLOOR = build_floor()
    data = os.path.abspath(a.data)
    os.makedirs(data, exist_ok=True)
    print("# vantel32 against its peers (median of %d, %s cache)\n" %
          (a.reps, "cold: dropped before every run," if COLD else "warm"))
    print("machine: %s" % machine())
    print("command: bench/peers.sh %s" % " ".join(sys.argv[1:]))
    print("vantel32: %s" % exe)

    if "file" in only:
        big = os.path.join(data, "big.bin")
        make_big_file(big, a.big_mib << 20)
        m = job("CRC-32 of one %d MiB file" % a.big_mib, [
            ("vantel32 Info", "%s -mi %s" % (exe, big)),
            ("cat", "cat %s >/dev/null" % big),
            ("rhash --crc32", "rhash --crc32 %s" % big),
            ("7z h -scrcCRC32", "7z h -scrcCRC32 %s" % big),
            ("cksfv", "cksfv %s" % big),
        ], a.reps, data)
        target("one file <= 1.5 x cat", m["vantel32 Info"], m["cat"], 1.5)
        others = [m[n] for n in m if n not in ("vantel32 Info", "cat")]
        if others:
            fastest = (min(o[0] for o in others), min(o[1] for o in others))
            target("one file <= 1/3 x fastest other peer", m["vantel32 Info"], fastest,
                   1 / 3.0)

    trees = []
    if a.files > 0 and only & {"tree", "scan", "compare", "dup"}:
        gen = os.path.join(data, "gen")
        make_generated_tree(gen, a.files)
        trees.append(("generated tree (%d files)" % a.files, gen, None))
    if only & {"tree", "scan", "compare", "dup"}:
        real = os.path.join(data, "real")
        if copy_tree(a.real, real):
            copy = os.path.join(data, "real2")
            if "compare" in only:
                copy_tree(real, copy)
            trees.append(("copy of %s" % a.real, real, copy if "compare" in only else None))
    for label, tree, copy in trees:
        tree_jobs(exe, label, tree, copy, only, a.reps, data)
    if "readers" in only:
        real = os.path.join(data, "real")
        if copy_tree(a.real, real):
            readers_job(exe, "copy of %s" % a.real, real, data, a.reps)
    if "exclude" in only:
        real = os.path.join(data, "real")
        if copy_tree(a.real, real):
            exclude_job(exe, "copy of %s" % a.real, real, data, a.reps)
    if "million" in only:
        million_job(exe, data, a.reps)
    report_targets()
    print("\nload average at the end: %.2f" % os.getloadavg()[0])


if __name__ == "__main__":
    main()
