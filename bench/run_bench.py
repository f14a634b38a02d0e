#!/usr/bin/env python3
"""Times vintrel2-scan against the walk floor and peer tools on one tree, in one run.

Usage: bench/run_bench.py [--tree DIR] [--runs N] [--scan PATH] [--cold]

Builds the tree with bench/make_tree.py when it is missing (500,000 files in 25,000
folders), builds the floor bench/walk_floor.c as rawwalk, then times the commands, taking
turns in each round: warm (one round not counted, then N rounds, the medians), or with --cold
(as root: the page cache dropped before every run). Prints the wall time, the ratio to
rawwalk, peak RSS, and the goals met or missed.
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
ROOT = os.path.dirname(HERE)


def run_once(argv):
    """Wall seconds and peak RSS (KiB) of one run; output goes to /dev/null.

    GNU time reports the RSS: a child forked from Python would carry Python's own peak."""
    with tempfile.NamedTemporaryFile("r") as report, open(os.devnull, "wb") as null:
        start = time.perf_counter()
        status = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + argv,
                                stdout=null, stderr=null).returncode
        elapsed = time.perf_counter() - start
        rss = int(report.read().split()[-1])
    if status not in (0, 1):
        raise RuntimeError(f"{argv[0]} failed with status {status}")
    return elapsed, rss


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as control:
        control.write("3\n")


def measure_all(commands, runs, cold=False):
    """Median wall seconds and peak RSS of each (name, argv), by name.

    The commands take turns in every round, so that the machine's drift from one minute to the
    next falls on all of them alike rather than on the ratios. Warm: one round first that is
    not counted; cold: the page cache dropped before every run."""
    samples = {name: [] for name, _ in commands}
    for round_number in range(runs if cold else runs + 1):
        for name, argv in commands:
            if cold:
                drop_caches()
            sample = run_once(argv)
            if cold or round_number > 0:
                samples[name].append(sample)
    return {name: (statistics.median(s[0] for s in runs_of), max(s[1] for s in runs_of))
            for name, runs_of in samples.items()}


def saved_scan_goals(scan, tree, out, runs):
    """Export and import of the tree as a scan file, against the listing and the peers' readers."""
    saved = os.path.join(out, "scan.json")
    tiny = os.path.join(out, "tiny.json")
    subprocess.run([scan, "--export", saved, tree], check=True)
    with open(tiny, "w") as f:
        f.write('[1,2,{},[{"name":"/t"},{"name":"a.txt","asize":1}]]')
    commands = [
        ("export (uncompressed)", [scan, "--export", os.path.join(out, "again.json"), tree]),
        ("--list --json (everything)", [scan, "--list", "--json", "--include-hidden", "--include-system", tree]),
        ("import: type table", [scan, "--import", saved]),
        ("live walk: type table", [scan, tree]),
        ("ncdu -f FILE -o /dev/null", ["ncdu", "-f", saved, "-o", "/dev/null"]),
        ("gdu -n -f FILE", ["gdu", "-n", "-f", saved]),
        ("start-up (import of 1 file)", [scan, "--import", tiny]),
    ]
    present = [(n, a) for n, a in commands if shutil.which(a[0]) is not None or os.path.exists(a[0])]
    results = measure_all(present, runs)
    size_mb = os.path.getsize(saved) / 1e6
    print(f"\nsaved scans ({size_mb:.0f} MB scan file, medians of {runs} interleaved runs)")
    for name, _ in commands:
        if name in results:
            print(f"{name:30} {results[name][0]:9.3f} s {results[name][1] / 1024:12.1f} MB")
        else:
            print(f"{name:30} {'(missing)':>9}")
    imported = results["import: type table"][0]
    peers = [n for n in ("ncdu -f FILE -o /dev/null", "gdu -n -f FILE") if n in results]
    return [
        ("export within 1.2x of --list --json --include-hidden --include-system",
         results["export (uncompressed)"][0] <= 1.2 * results["--list --json (everything)"][0]),
        ("import's type table faster than the warm live walk",
         imported < results["live walk: type table"][0]),
        ("import's type table no slower than ncdu -f and gdu -f",
         len(peers) == 2 and all(imported <= results[n][0] for n in peers)),
        ("import's type table in bounded memory (peak RSS under 32 MB)",
         results["import: type table"][1] < 32 * 1024),
    ]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tree", default="/tmp/vbench-tree")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--scan", default=os.path.join(ROOT, "build", "src", "cli", "vintrel2-scan"))
    parser.add_argument("--cold", action="store_true", help="drop the page cache before each run (root)")
    args = parser.parse_args()
    if args.cold and os.geteuid() != 0:
        sys.exit("--cold drops the page cache: run it as root")

    if not os.path.isdir(args.tree):
        subprocess.run([sys.executable, os.path.join(HERE, "make_tree.py"), args.tree], check=True)
    out = os.path.join(HERE, "out")
    os.makedirs(out, exist_ok=True)
    rawwalk = os.path.join(out, "rawwalk")
    subprocess.run(["gcc", "-O2", "-pthread", "-o", rawwalk, os.path.join(HERE, "walk_floor.c")], check=True)

    tree = args.tree
    listing = "%p %BY-%Bm-%Bd %BH:%BM %TY-%Tm-%Td %TH:%TM %s %m\n"
    csv = os.path.join(out, "listing.csv")
    commands = [
        ("rawwalk", [rawwalk, "-q", tree]),
        ("rawwalk -t 2 (two threads)", [rawwalk, "-q", "-t", "2", tree]),
        ("rawwalk -t 4", [rawwalk, "-q", "-t", "4", tree]),
        ("rawwalk -t 8", [rawwalk, "-q", "-t", "8", tree]),
        ("vintrel2-scan (types)", [args.scan, tree]),
        ("  forced plain statx", ["env", "VINTREL_STATX_WAY=plain", args.scan, tree]),
        ("  forced io_uring statx", ["env", "VINTREL_STATX_WAY=ring", args.scan, tree]),
        ("vintrel2-scan --list", [args.scan, "--list", tree]),
        ("vintrel2-scan --list -o FILE", [args.scan, "--list", "-o", csv, tree]),
        ("vintrel2-scan --list --json", [args.scan, "--list", "--json", tree]),
        ("vintrel2-scan --list --bytes", [args.scan, "--list", "--bytes", tree]),
        ("vintrel2-scan --list --sort size --top 20", [args.scan, "--list", "--sort", "size", "--top", "20", tree]),
        ("du -s", ["du", "-s", tree]),
        ("ncdu -0 -o /dev/null", ["ncdu", "-0", "-o", "/dev/null", tree]),
        ("bfs -printf (same fields)", ["bfs", tree, "-printf", listing]),
        ("find -printf (same fields)", ["find", tree, "-printf", listing]),
    ]
    present = [(name, argv) for name, argv in commands
               if shutil.which(argv[0]) is not None or os.path.exists(argv[0])]
    results = measure_all(present, args.runs, args.cold)
    print(f"{'command':30} {'median s':>9} {'x rawwalk':>10} {'peak RSS MB':>12}")
    for name, _ in commands:
        if name not in results:
            print(f"{name:30} {'(missing)':>9}")
            continue
        seconds, rss = results[name]
        ratio = seconds / results["rawwalk"][0]
        print(f"{name:30} {seconds:9.3f} {ratio:10.2f} {rss / 1024:12.1f}")

    files = int(subprocess.run([args.scan, "--list", "--include-hidden", "--include-system", tree],
                               capture_output=True).stdout.count(b"\r\n")) - 1
    types_s, types_rss = results["vintrel2-scan (types)"]
    list_s, list_rss = results["vintrel2-scan --list"]
    listed = int(subprocess.run([args.scan, "--list", tree], capture_output=True).stdout.count(b"\r\n")) - 1
    peers = ("du -s", "ncdu -0 -o /dev/null", "bfs -printf (same fields)")
    missing = [n for n in peers if n not in results]
    if missing:
        print("\nnot measured (apt-get install bfs ncdu): " + ", ".join(missing))
    floors = [results[n][0] for n in ("rawwalk", "rawwalk -t 2 (two threads)", "rawwalk -t 4", "rawwalk -t 8")]
    file_s, file_rss = results["vintrel2-scan --list -o FILE"]
    plain_s, ring_s = results["  forced plain statx"][0], results["  forced io_uring statx"][0]
    print(f"\nstatx ways ({'cold' if args.cold else 'warm'}): chosen {types_s:.3f} s, plain {plain_s:.3f} s, "
          f"io_uring {ring_s:.3f} s; chosen {types_s / min(plain_s, ring_s):.3f}x of the faster")
    goals = [
        ("type table with the chosen statx way within 1.05x of the faster forced way",
         types_s <= 1.05 * min(plain_s, ring_s)),
        ("type table within 1.1x of rawwalk -t 2", types_s <= 1.1 * results["rawwalk -t 2 (two threads)"][0]),
        ("type table within 1.1x of the best rawwalk -t 1/2/4/8", types_s <= 1.1 * min(floors)),
        ("--list -o FILE peak RSS within 1.1x of --list to standard output", file_rss <= 1.1 * list_rss),
        ("type table ahead of du, ncdu, bfs",
         not missing and all(types_s < results[n][0] for n in peers)),
        ("--list ahead of bfs (same fields)",
         "bfs -printf (same fields)" in results and list_s < results["bfs -printf (same fields)"][0]),
        ("type table peak RSS under 32 MB", types_rss < 32 * 1024),
        ("--list --json and --list --bytes within 1.1x of --list",
         all(results[n][0] <= 1.1 * list_s for n in ("vintrel2-scan --list --json", "vintrel2-scan --list --bytes"))),
        ("--sort size --top 20 within 1.2x of --list",
         results["vintrel2-scan --list --sort size --top 20"][0] <= 1.2 * list_s),
        ("--sort size --top 20 in bounded memory (peak RSS within 1.5x of the type table's)",
         results["vintrel2-scan --list --sort size --top 20"][1] <= 1.5 * types_rss),
        (f"--list peak RSS under 200 bytes per listed file ({list_rss * 1024 / max(listed, 1):.0f})",
         list_rss * 1024 < 200 * listed),
    ]
    if not args.cold:
        goals += saved_scan_goals(args.scan, tree, out, max(args.runs, 10))
    gui_bench = os.path.join(os.path.dirname(args.scan), "..", "..", "bench", "gui_bench")
    if os.path.exists(gui_bench):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        out = subprocess.run([gui_bench, tree], capture_output=True, text=True, env=env).stdout
        gui = {k: float(v) for k, v in (line.split() for line in out.splitlines() if len(line.split()) == 2)}
        print(f"\nwindow (offscreen, median of 3): type table {gui['types_seconds']:.3f} s "
              f"({gui['types_seconds'] / types_s:.2f}x vintrel2-scan), full listing {gui['list_seconds']:.3f} s "
              f"({gui['list_seconds'] / list_s:.2f}x vintrel2-scan --list), {int(gui['list_rows'])} rows, "
              f"longest repaint gap {int(max(gui['types_max_paint_gap_ms'], gui['list_max_paint_gap_ms']))} ms, "
              f"peak RSS {gui['peak_rss_kb'] / 1024:.0f} MB")
        goals += [
            ("window type table within 1.05x of vintrel2-scan", gui["types_seconds"] <= 1.05 * types_s),
            ("window full listing within 1.5x of vintrel2-scan --list", gui["list_seconds"] <= 1.5 * list_s),
            ("window repaints at least every 100 ms",
             max(gui["types_max_paint_gap_ms"], gui["list_max_paint_gap_ms"]) <= 100),
            ("window peak RSS under 250 MB with every row shown", gui["peak_rss_kb"] < 250 * 1024),
        ]
    sort_bench = os.path.join(os.path.dirname(args.scan), "..", "..", "bench", "sort_bench")
    if os.path.exists(sort_bench):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        out = subprocess.run([sort_bench], capture_output=True, text=True, env=env).stdout
        print("\nsorting and exporting the file table in the window\n" + out.rstrip())
        clicks = [line.split() for line in out.splitlines() if line.strip()[:1].isdigit() and len(line.split()) == 3]
        export = float(out.rsplit(":", 1)[1].split()[0])
        goals += [
            ("any column of 1,000,000 rows sorted in under 2 s", all(float(c[1]) < 2 for c in clicks)),
            ("the name column's first click within 1.2x of the slowest other column's",
             float(clicks[0][1]) <= 1.2 * max(float(c[1]) for c in clicks[1:])),
            ("the second click (reverse) faster still", all(float(c[2]) < float(c[1]) for c in clicks)),
            ("1,000,000 selected rows exported to a file in under 3 s", export < 3),
        ]
    # Many types: 100,000 distinct extensions, where each type's description is looked up.
    many = os.path.join(HERE, "out", "many-types")
    if not os.path.isdir(many):
        os.makedirs(many)
        for i in range(100_000):
            open(os.path.join(many, f"f.x{i:05d}q"), "w").close()
    timed = measure_all([("types", [args.scan, many]), ("list", [args.scan, "--list", many])],
                        args.runs)
    many_types, many_list = timed["types"][0], timed["list"][0]
    print(f"\n100,000 distinct types: type table {many_types:.3f} s, --list {many_list:.3f} s "
          f"({many_types / many_list:.2f}x)")
    goals.append(("type table of 100,000 types within 1.3x of --list", many_types <= 1.3 * many_list))
    print(f"\n{files} files in the tree, {listed} listed by --list")
    for text, met in goals:
        print(f"{'met ' if met else 'MISSED'}  {text}")


if __name__ == "__main__":
    main()
