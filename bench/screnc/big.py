#!/usr/bin/env python3
"""screnc on large pages, side by side with `cat` of the same files, in one invocation.

    bench/screnc/big.py [--screnc BIN] [--before BIN] [--mb 100] [--decode-mb 300]
                        [--runs 5] [--work DIR]

Makes an ASP-like page of --mb MB (gen_page.py) and, for the decoder, one of --decode-mb
MB encoded by screnc; then, in rounds (the commands interleaved, so that a load that
comes and goes falls on all alike), times

    cat PAGE > OUT                 cat ENCODED > OUT
    screnc /s PAGE OUT             screnc --decode ENCODED OUT
    (the same with --before BIN, an earlier build, when given)

(each command's output of the round before removed, or for `cat` emptied, before its clock
starts) and prints for each the median wall time, the median CPU time (user + system), the
peak resident memory (getrusage of the child) against the input's size, and the ratios to
`cat`. Also the start-up: the median of 200 runs encoding a one-line page. Every output is
checked: the encoded page against the earlier build's (when given), the decoded page
against the page it came from. Work files go to --work (default: a folder in /dev/shm,
so that the disk stays out of the figures), removed at the end.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


TIME = "/usr/bin/time"  # GNU time: the peak RSS of the command alone, not of a fork of Python


def run(argv, stdout=None, rss_file=None):
    """Wall seconds, CPU seconds and peak RSS (KB) of one child process."""
    out = open(stdout, "wb") if stdout else subprocess.DEVNULL
    if rss_file:
        argv = [TIME, "-f", "%M", "-o", rss_file] + argv
    t0 = time.perf_counter()
    proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out)
    _, status, ru = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - t0
    if stdout:
        out.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit(f"big.py: {' '.join(argv)} exited with {code}")
    rss = ru.ru_maxrss
    if rss_file:
        with open(rss_file) as f:
            rss = int(f.read().split()[-1])
    return wall, ru.ru_utime + ru.ru_stime, rss


def median_table(cmds, rounds, rss_file):
    results = {name: [] for name, _, _ in cmds}
    for r in range(rounds):
        order = cmds if r % 2 == 0 else list(reversed(cmds))
        for name, argv, stdout in order:
            # The last round's output goes first, off the clock, for every command alike: `cat`'s
            # is emptied when Python opens it, before the clock starts; screnc's named output
            # would otherwise be freed inside the run, when the new file takes its name.
            if stdout is None and os.path.exists(argv[-1]):
                os.remove(argv[-1])
            results[name].append(run(argv, stdout, rss_file if os.access(TIME, os.X_OK) else None))
    return {name: (statistics.median(x[0] for x in rs), statistics.median(x[1] for x in rs),
                   max(x[2] for x in rs))
            for name, rs in results.items()}


def same(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x, y = fa.read(1 << 20), fb.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--screnc", default=os.path.join(HERE, "..", "..", "build", "bin", "screnc"))
    ap.add_argument("--before", help="an earlier screnc, timed in the same rounds")
    ap.add_argument("--mb", type=float, default=100)
    ap.add_argument("--decode-mb", type=float, default=300)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--work")
    a = ap.parse_args()
    bins = [("screnc", os.path.abspath(a.screnc))]
    if a.before:
        bins.append(("before", os.path.abspath(a.before)))
    base = a.work or ("/dev/shm" if os.path.isdir("/dev/shm") else None)
    work = tempfile.mkdtemp(prefix="screnc-big-", dir=base)
    try:
        page = os.path.join(work, "page.asp")
        big = os.path.join(work, "big.asp")
        enc = os.path.join(work, "big.enc.asp")
        subprocess.run([sys.executable, os.path.join(HERE, "gen_page.py"), page, str(a.mb)], check=True)
        subprocess.run([sys.executable, os.path.join(HERE, "gen_page.py"), big, str(a.decode_mb)],
                       check=True)
        subprocess.run([bins[0][1], "/s", big, enc], check=True)
        os.remove(big)
        o = lambda n: os.path.join(work, n)

        # Checked once, untimed: the same bytes from every build, and the page back.
        for name, b in bins:
            run([b, "/s", page, o(f"enc-{name}.asp")])
            run([b, "--decode", enc, o(f"dec-{name}.asp")])
        for name, _ in bins[1:]:
            assert same(o("enc-screnc.asp"), o(f"enc-{name}.asp")), f"{name}: encoded pages differ"
            assert same(o("dec-screnc.asp"), o(f"dec-{name}.asp")), f"{name}: decoded pages differ"
        run([bins[0][1], "/s", o("dec-screnc.asp"), o("re-enc.asp")])
        assert same(o("re-enc.asp"), enc), "decoding and encoding again does not give the page"

        load = os.getloadavg()[0]
        cmds = [("cat page", ["cat", page], o("cat.out"))]
        cmds += [(f"{n} encode", [b, "/s", page, o(f"out-{n}")], None) for n, b in bins]
        cmds += [("cat encoded", ["cat", enc], o("cat.out"))]
        cmds += [(f"{n} --decode", [b, "--decode", enc, o(f"dout-{n}")], None) for n, b in bins]
        res = median_table(cmds, a.runs, o("rss"))
        load = max(load, os.getloadavg()[0])

        tiny = o("tiny.asp")
        with open(tiny, "wb") as f:
            f.write(b"<% x = 1 %>\r\n")
        starts = {n: statistics.median(run([b, "/s", tiny, o("tiny.out")])[0] for _ in range(200))
                  for n, b in bins}
        true_start = statistics.median(run(["true"])[0] for _ in range(200))

        sizes = {"page": os.path.getsize(page), "encoded": os.path.getsize(enc)}
        print(f"page {sizes['page'] / 1e6:.0f} MB, encoded page {sizes['encoded'] / 1e6:.0f} MB, "
              f"medians of {a.runs}, load average up to {load:.1f} on {os.cpu_count()} cores")
        print(f"{'command':18s} {'wall':>8s} {'x cat':>6s} {'CPU':>8s} {'x cat':>6s} "
              f"{'MB/s':>6s} {'peak RSS':>9s} {'x input':>7s}")
        for name, (wall, cpu, rss) in res.items():
            decode = "decode" in name or "encoded" in name
            ref = res["cat encoded" if decode else "cat page"]
            size = sizes["encoded" if decode else "page"]
            print(f"{name:18s} {wall:7.3f}s {wall / ref[0]:6.2f} {cpu:7.3f}s {cpu / max(ref[1], 1e-3):6.2f} "
                  f"{size / wall / 1e6:6.0f} {rss / 1024:7.0f}MB {rss * 1024 / size:7.2f}")
        for n, t in starts.items():
            print(f"start-up, {n}: one-line page {t * 1000:.2f} ms (`true`: {true_start * 1000:.2f} ms)")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
