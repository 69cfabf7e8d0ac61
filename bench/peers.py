#!/usr/bin/env python3
"""Times vantel32 against the tools people use instead, on the same trees in one run.

Each job runs every command once to warm the page cache, then REPS rounds in which the
commands alternate; the median of each is reported with the ratio vantel32/peer and the peak
resident memory of one extra run under /usr/bin/time -v.
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


def install_peers():
    missing = [pkg for cmd, pkg in PEERS.items() if shutil.which(cmd) is None]
    if not os.path.exists("/usr/bin/time"):
        missing.append("time")
    if not missing:
        return
    if os.geteuid() != 0:
        sys.exit("missing peers (install them): " + " ".join(missing))
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


def make_big_file(path, size):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    block = os.urandom(1 << 20)
    with open(path, "wb") as f:
        for _ in range(size >> 20):
            f.write(block)


def make_generated_tree(root, files):
    """Directories of 100 files with sizes from a small set, so that duplicates exist."""
    if os.path.exists(os.path.join(root, ".done")):
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
    open(os.path.join(root, ".done"), "w").close()


def copy_real_tree(src, dst):
    if os.path.exists(os.path.join(dst, ".done")) or not os.path.isdir(src):
        return os.path.isdir(dst)
    shutil.rmtree(dst, ignore_errors=True)
    subprocess.run(["cp", "-a", src, dst], check=False, stderr=subprocess.DEVNULL)
    open(os.path.join(dst, ".done"), "w").close()
    return True


def run(cmd, cwd):
    t = time.perf_counter()
    subprocess.run(cmd, shell=True, cwd=cwd, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return time.perf_counter() - t


def peak_kib(cmd, cwd):
    r = subprocess.run(["/usr/bin/time", "-v", "sh", "-c", cmd + " >/dev/null 2>&1"], cwd=cwd,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in r.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1])
    return 0


def job(title, commands, reps, cwd):
    """commands: list of (name, shell command); the first is vantel32's."""
    commands = [(n, c) for n, c in commands if shutil.which(c.split()[0]) or "/" in c.split()[0]]
    for _, c in commands:
        run(c, cwd)
    times = {n: [] for n, _ in commands}
    for _ in range(reps):
        for n, c in commands:
            times[n].append(run(c, cwd))
    base = statistics.median(times[commands[0][0]])
    print("\n## %s" % title)
    print("| tool | median s | vantel32/tool | peak RSS MiB |")
    print("|---|---|---|---|")
    for n, c in commands:
        m = statistics.median(times[n])
        print("| %s | %.3f | %.2f | %.1f |" % (n, m, base / m if m else 0, peak_kib(c, cwd) / 1024))
    sys.stdout.flush()


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--data", default=os.path.join(ROOT, "build", "bench-data"))
    ap.add_argument("--real", default="/usr/share", help="real tree to copy")
    ap.add_argument("--files", type=int, default=20000, help="files in the generated tree")
    ap.add_argument("--big-mib", type=int, default=1024)
    ap.add_argument("--only", default="", help="comma list of jobs: file,tree,scan,dup")
    a = ap.parse_args()
    install_peers()
    exe = build()
    os.makedirs(a.data, exist_ok=True)
    data = a.data
    only = set(a.only.split(",")) if a.only else {"file", "tree", "scan", "dup"}
    print("# vantel32 against its peers (median of %d, warm cache)" % a.reps)
    print("machine: %s, %d cores" % (os.uname().machine, os.cpu_count()))

    if "file" in only:
        big = os.path.join(data, "big.bin")
        make_big_file(big, a.big_mib << 20)
        job("CRC-32 of one %d MiB file" % a.big_mib, [
            ("vantel32 Info", "%s -mi %s" % (exe, big)),
            ("cat", "cat %s" % big),
            ("rhash --crc32", "rhash --crc32 %s" % big),
            ("7z h -scrcCRC32", "7z h -scrcCRC32 %s" % big),
            ("cksfv", "cksfv %s" % big),
        ], a.reps, data)

    trees = []
    gen = os.path.join(data, "gen")
    make_generated_tree(gen, a.files)
    trees.append(("generated tree (%d files)" % a.files, gen))
    real = os.path.join(data, "real")
    if copy_real_tree(a.real, real):
        trees.append(("copy of %s" % a.real, real))

    for label, tree in trees:
        if "tree" in only:
            job("checksum a whole tree: " + label, [
                ("vantel32 Info /s", "%s -s %s" % (exe, tree)),
                ("find \\| xargs cksum", "find %s -type f -print0 | xargs -0 cksum" % tree),
                ("rhash -r --crc32", "rhash -r --crc32 %s" % tree),
            ], a.reps, data)
        if "scan" in only:
            cat = os.path.join(data, "scan.crc")
            known = os.path.join(data, "known.hashdeep")
            spec = os.path.join(data, "tree.mtree")
            subprocess.run("rm -f %s; %s -ms -s %s -fc %s" % (cat, exe, tree, cat), shell=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run("hashdeep -r %s > %s" % (tree, known), shell=True,
                           stderr=subprocess.DEVNULL)
            subprocess.run("mtree -c -K cksum -p %s > %s" % (tree, spec), shell=True,
                           stderr=subprocess.DEVNULL)
            job("verify a tree against its catalogue: " + label, [
                ("vantel32 Scan /s", "%s -ms -s %s -fc %s" % (exe, tree, cat)),
                ("hashdeep -r -a -k", "hashdeep -r -a -k %s %s" % (known, tree)),
                ("mtree -f", "mtree -f %s -p %s" % (spec, tree)),
            ], a.reps, data)
        if "dup" in only:
            job("find duplicates: " + label, [
                ("vantel32 /md /s", "%s -md -s %s" % (exe, tree)),
                ("jdupes -r -q", "jdupes -r -q %s" % tree),
                ("rdfind -dryrun true", "rdfind -dryrun true -outputname /dev/null %s" % tree),
                ("fdupes -r -q", "fdupes -r -q %s" % tree),
            ], a.reps, data)


if __name__ == "__main__":
    main()
