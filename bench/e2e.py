#!/usr/bin/env python3
"""End-to-end timing of a command-line run against other ways of reading the
same tree. Generates a seeded tree of mixed sources, then times each command
several times (warm cache) and prints medians and ratios."""
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

FAMILIES = {
    ".c": ("/* {} */", "// {}", 'printf("{}");'),
    ".cpp": ("/* {} */", "// {}", 'std::string s = "{}";'),
    ".h": ("/* {} */", "// {}", "int {}(int x);"),
    ".java": ("/** {} */", "// {}", 'System.out.println("{}");'),
    ".cs": ("/* {} */", "// {}", 'Console.WriteLine("{}");'),
    ".sql": ("/* {} */", "-- {}", "SELECT '{}' FROM t;"),
    ".pas": ("{{ {} }}", "// {}", "Writeln('{}');"),
    ".bas": ("' {}", "' {}", 'MsgBox "{}"'),
    ".asm": ("; {}", "; {}", "mov eax, {}"),
}
WORDS = "alpha beta gamma delta count line value index buffer total result".split()


def generate(root, files, total_bytes, seed):
    rng = random.Random(seed)
    per_file = total_bytes // files
    exts = list(FAMILIES)
    written = 0
    for i in range(files):
        folder = os.path.join(root, "d%03d" % (i // 100), "s%d" % (i % 7))
        os.makedirs(folder, exist_ok=True)
        ext = exts[i % len(exts)]
        block, line, code = FAMILIES[ext]
        out = []
        size = 0
        while size < per_file:
            r = rng.random()
            w = " ".join(rng.choice(WORDS) for _ in range(3))
            indent = " " * rng.choice((0, 2, 4, 8))
            if r < 0.12:
                text = ""
            elif r < 0.25:
                text = indent + line.format(w)
            elif r < 0.30:
                text = indent + block.format(w)
            else:
                text = indent + code.format(w)
            out.append(text)
            size += len(text) + 1
        data = "\n".join(out) + "\n"
        with open(os.path.join(folder, "f%05d%s" % (i, ext)), "w") as f:
            f.write(data)
        written += len(data)
    return written


def median_time(cmd, runs, **kw):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def peak_rss_kib(cmd, env):
    """Peak resident size of one run, measured in a fresh child so that the
    other tools' sizes do not count."""
    probe = ("import resource, subprocess, sys; "
             "subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL); "
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    done = subprocess.run([sys.executable, "-c", probe] + cmd, check=True, env=env,
                          stdout=subprocess.PIPE, text=True)
    return int(done.stdout.strip())


def main():
    program = os.path.abspath(sys.argv[1])
    work = os.path.abspath(sys.argv[2])
    files = int(os.environ.get("E2E_FILES", "20000"))
    total = int(os.environ.get("E2E_BYTES", str(100 * 1024 * 1024)))
    runs = int(os.environ.get("E2E_RUNS", "5"))
    tree = os.path.join(work, "tree")
    if not os.path.isdir(tree):
        print("generating %d files, %d MB ..." % (files, total >> 20), flush=True)
        generate(tree, files, total, seed=20261206)
    settings = os.path.join(work, "Setup.ini")
    # The same-name rule off, so every tool reads every file.
    with open(settings, "wb") as f:
        f.write(b"[CURRENT PATH]\r\nCountSameFileName=1\r\n")
    env = dict(os.environ, TALLYVANE_SETTINGS=settings)
    out = os.path.join(work, "out.csv")

    results = {}
    for _ in range(1):  # warm the cache
        subprocess.run(["cat"], stdin=subprocess.DEVNULL)
        subprocess.run("find %s -type f | xargs cat > /dev/null" % tree, shell=True, check=True)
    results["tallyvane -d TREE -o out.csv"] = median_time([program, "-d", tree, "-o", out], runs, env=env)
    results["find | xargs wc -l"] = median_time(
        "find %s -type f -print0 | xargs -0 wc -l" % tree, runs, shell=True)
    if shutil.which("cloc"):
        results["cloc"] = median_time(["cloc", "--quiet", tree], max(1, runs // 2))
    if shutil.which("ohcount"):
        results["ohcount"] = median_time(["ohcount", tree], max(1, runs // 2))
    rss = peak_rss_kib([program, "-d", tree, "-o", out], env)

    base = results["tallyvane -d TREE -o out.csv"]
    wc = results["find | xargs wc -l"]
    print("%-32s %10s %12s" % ("command", "median s", "vs tallyvane"))
    for name, t in results.items():
        print("%-32s %10.3f %11.2fx" % (name, t, t / base))
    print("tallyvane / wc pipeline: %.2fx (target <= 1.2x)" % (base / wc))
    if "cloc" in results:
        print("cloc / tallyvane: %.1fx (target >= 25x)" % (results["cloc"] / base))
    print("tallyvane peak resident size: %.1f MB (target < 64 MB)" % (rss / 1024.0))


if __name__ == "__main__":
    main()
