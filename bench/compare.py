#!/usr/bin/env python3
"""Times qlvodadov-cli (plain and thorough reading) side by side with `wc -l` and the Python peer
on generated documents and prints a Markdown table of medians, ratios and peak memory. Run
through bench/compare.sh.

    compare.py --cli PATH --work DIR [--runs N] [--sizes 100M,1G] [--quick]
    compare.py --cli PATH --work DIR --goals [--before PATH] [--runs N] [--quick]

--goals prints only the goals' table: each document with one thread and with every core, and
beside them the program given by --before (an earlier build, as a peer).

The programs take turns within each round, so a load change on the machine touches all
of them alike; the ratios are taken between medians of the same rounds.
"""

import argparse
import filecmp
import os
import platform
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "make_documents.py")
PEER = os.path.join(HERE, "peer_salvage.py")
MIB = 1 << 20


def size_bytes(text):
    suffix = text[-1:].upper()
    if suffix in "KMG":
        return int(text[:-1]) * 1024 ** ("KMG".index(suffix) + 1)
    return int(text)


def make(work, name, kind, size, extra=()):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        print("  making %s" % name, file=sys.stderr, flush=True)
        subprocess.run([sys.executable, GENERATOR, kind, size, path + ".part", *extra], check=True)
        os.rename(path + ".part", path)
    return path


def timed(argv, out=subprocess.DEVNULL):
    """Runs argv; returns (seconds, peak resident KiB, exit status)."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=out, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    return seconds, usage.ru_maxrss, child.returncode


def rounds(commands, runs):
    """commands: {label: argv}, taking turns within each round. Returns ({label: [seconds]},
    {label: max peak KiB})."""
    times = {label: [] for label in commands}
    peaks = {label: 0 for label in commands}
    for _ in range(runs):
        for label, argv in commands.items():
            seconds, peak, status = timed(argv)
            if status != 0:
                raise SystemExit("%s failed with status %d: %s" % (label, status, argv))
            times[label].append(seconds)
            peaks[label] = max(peaks[label], peak)
    return times, peaks


def median_runs(commands, runs):
    """commands: {label: argv}. Returns {label: (median seconds, max peak KiB)}."""
    times, peaks = rounds(commands, runs)
    return {label: (statistics.median(times[label]), peaks[label]) for label in commands}


def check_same(cli, doc, work, with_peer):
    """Writes the cli's export once and compares it with the peer's. Returns the export size."""
    ours = os.path.join(work, "out-cli.txt")
    with open(ours, "wb") as out:
        subprocess.run([cli, doc], stdout=out, check=True)
    size = os.path.getsize(ours)
    if with_peer:
        theirs = os.path.join(work, "out-peer.txt")
        with open(theirs, "wb") as out:
            subprocess.run([sys.executable, PEER, doc], stdout=out, check=True)
        if not filecmp.cmp(ours, theirs, shallow=False):
            raise SystemExit("qlvodadov-cli and the Python peer disagree on %s" % doc)
        os.remove(theirs)
    os.remove(ours)
    return size


def check_readings_agree(cli, doc, work):
    """On a well-formed document the thorough reading writes what the plain one writes."""
    outputs = []
    for flags in ([], ["--thorough"]):
        path = os.path.join(work, "out-cli%s.txt" % "".join(flags))
        with open(path, "wb") as out:
            subprocess.run([cli, *flags, doc], stdout=out, check=True)
        outputs.append(path)
    if not filecmp.cmp(outputs[0], outputs[1], shallow=False):
        raise SystemExit("the plain and the thorough reading disagree on %s" % doc)
    for path in outputs:
        os.remove(path)


def machine():
    model = "unknown"
    try:
        for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
            if line.startswith("Model name:"):
                model = line.split(":", 1)[1].strip()
    except OSError:
        pass
    load = os.getloadavg()
    return "%s, %d cores, Linux %s, load average %.2f %.2f %.2f" % (
        model, os.cpu_count(), platform.release(), *load)


def ratio_with_spread(times, label, base):
    """The ratio of the medians, and the smallest and largest ratio of one round's pair."""
    pairs = [a / b for a, b in zip(times[label], times[base])]
    return "%.1f x (%.1f-%.1f)" % (statistics.median(times[label]) / statistics.median(times[base]),
                                   min(pairs), max(pairs))


def same_output(argvs, work):
    """The size of what the argvs write to standard output, or None when they differ."""
    paths = []
    for i, argv in enumerate(argvs):
        path = os.path.join(work, "out-%d.txt" % i)
        with open(path, "wb") as out:
            subprocess.run(argv, stdout=out, check=True)
        paths.append(path)
    same = all(filecmp.cmp(paths[0], other, shallow=False) for other in paths[1:])
    size = os.path.getsize(paths[0])
    for path in paths:
        os.remove(path)
    return size if same else None


def goals(args, cli):
    """One table: the documents of the goals, with one thread, with every core and (when given)
    the earlier build, side by side in the same rounds."""
    cores = os.cpu_count() or 1
    sample = os.path.join(HERE, "..", "samples", "damaged-letter.qlx")
    threaded = subprocess.run([cli, "--threads", "1", "--list", sample],
                              capture_output=True).returncode == 0
    before = os.path.abspath(args.before) if args.before else None
    print("Earlier build: %s" % (before or "none given"))
    if not threaded:
        print("(this build has no --threads: the all-core column reads with its default)")
    print()
    print("| Document | wc -l | earlier | 1 thread | %d threads | earlier / wc | 1 thread / wc "
          "| %d threads / wc | peak RSS (1 thread / %d) | export | RSS - export (1 / %d) |" % (
              cores, cores, cores, cores))
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    small = args.quick
    size = "16M" if small else "100M"
    tiny = "400000" if small else "4000000"
    documents = [("sections %s (8 KiB sections)" % size, "sections-%s-8K.qlx", "sections", size,
                  ["--section-bytes", "8K"]),
                 ("sections %s (2 MiB sections)" % size, "sections-%s-2M.qlx", "sections", size,
                  ["--section-bytes", "2M"]),
                 ("damaged %s" % size, "damaged-%s.qlx", "damaged", size, []),
                 ("tiny %s (one-character sections)" % tiny, "tiny-%s.qlx", "tiny", tiny, [])]

    def with_threads(n):
        return [cli, "--threads", str(n)] if threaded else [cli]

    for label, name, kind, doc_size, extra in documents:
        doc = make(args.work, name % doc_size, kind, doc_size, extra)
        commands = {"wc": ["wc", "-l", doc], "one": with_threads(1) + [doc],
                    "all": with_threads(cores) + [doc]}
        if before:
            commands["before"] = [before, doc]
        export = same_output(list(commands.values())[1:], args.work)
        if export is None:
            raise SystemExit("the builds or thread counts disagree on %s" % doc)
        times, peaks = rounds(commands, args.runs)
        med = {k: statistics.median(v) for k, v in times.items()}
        print("| %s | %.3f s | %s | %.3f s | %.3f s | %s | %s | %s | %.0f / %.0f MiB | %.0f MiB "
              "| %+.0f / %+.0f MiB |" % (
                  label, med["wc"], "%.3f s" % med["before"] if before else "-", med["one"],
                  med["all"], ratio_with_spread(times, "before", "wc") if before else "-",
                  ratio_with_spread(times, "one", "wc"), ratio_with_spread(times, "all", "wc"),
                  peaks["one"] / 1024, peaks["all"] / 1024, export / MIB,
                  peaks["one"] / 1024 - export / MIB, peaks["all"] / 1024 - export / MIB),
              flush=True)

    # The thorough reading beside the plain one, on well-formed documents of both section sizes.
    for label, name, kind, doc_size, extra in documents[:2]:
        doc = os.path.join(args.work, name % doc_size)
        times, peaks = rounds({"plain": with_threads(1) + [doc],
                               "thorough": with_threads(1) + ["--thorough", doc]}, args.runs)
        print("| %s, thorough / plain | | | %.3f s | | | | %s | %.0f MiB | | |" % (
            label, statistics.median(times["thorough"]),
            ratio_with_spread(times, "thorough", "plain"), peaks["thorough"] / 1024), flush=True)
        if not args.quick:
            os.remove(doc)
    for label, name, kind, doc_size, extra in documents[2:]:
        if not args.quick:
            os.remove(os.path.join(args.work, name % doc_size))

    # Start-up: the bundled sample, a document of a few hundred bytes.
    commands = {"now": [cli, sample]}
    if before:
        commands["before"] = [before, sample]
    times, _ = rounds(commands, max(args.runs, 21))
    print("| start-up, a tiny document | | %s | %.4f s | | %s | | | | | |" % (
        "%.4f s" % statistics.median(times["before"]) if before else "-",
        statistics.median(times["now"]),
        ("now / earlier " + ratio_with_spread(times, "now", "before")) if before else "-"))
    print("\nMachine after the runs: load average %.2f %.2f %.2f" % os.getloadavg())
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="100M,1G")
    parser.add_argument("--quick", action="store_true", help="small documents, for a smoke run")
    parser.add_argument("--goals", action="store_true",
                        help="only the goals' table: one thread, every core, the earlier build")
    parser.add_argument("--before", help="an earlier build of qlvodadov-cli to time beside")
    parser.add_argument("--no-hostile", action="store_true",
                        help="only the side-by-side table, not the hostile documents")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    cli = os.path.abspath(args.cli)
    python = sys.executable
    sizes = args.sizes.split(",")

    print("Machine: %s" % machine())
    print("Runs per figure: %d (medians); peak memory is the largest of the runs.\n" % args.runs)
    if args.goals:
        return goals(args, cli)

    # 1. Ordinary documents: the programs side by side.
    print("| Document | wc -l | qlvodadov-cli | cli -t | Python peer | cli / wc | cli -t / cli "
          "| peer / cli | cli peak RSS | cli -t peak RSS | export size | RSS - export |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    # Well-formed documents of two section sizes and a damaged one per size, then millions of
    # one-character sections (their count does not follow the size).
    documents = []
    for size in sizes:
        documents += [("%s, 8K sections" % size, "sections-%s-8K.qlx" % size, "sections", size,
                       ["--section-bytes", "8K"]),
                      ("%s, 2M sections" % size, "sections-%s-2M.qlx" % size, "sections", size,
                       ["--section-bytes", "2M"]),
                      ("%s, damaged" % size, "damaged-%s.qlx" % size, "damaged", size, [])]
    tiny = "400000" if args.quick else "4000000"
    documents.append(("%s one-character sections" % tiny, "tiny-%s.qlx" % tiny, "tiny", tiny, []))
    for label, name, kind, size, extra in documents:
        doc = make(args.work, name, kind, size, extra)
        export = check_same(cli, doc, args.work, with_peer=True)
        if kind != "damaged":  # the thorough reading finds more in a damaged one
            check_readings_agree(cli, doc, args.work)
        peer_runs = args.runs if os.path.getsize(doc) <= 256 * MIB else max(1, args.runs // 2)
        figures = median_runs({"wc": ["wc", "-l", doc], "cli": [cli, doc],
                               "thorough": [cli, "--thorough", doc]}, args.runs)
        figures.update(median_runs({"peer": [python, PEER, doc]}, peer_runs))
        wc_s, _ = figures["wc"]
        cli_s, cli_peak = figures["cli"]
        peer_s, _ = figures["peer"]
        thorough_s, thorough_peak = figures["thorough"]
        print("| %s | %.3f s | %.3f s | %.3f s | %.2f s | %.1f x | %.2f x "
              "| %.0f x | %.0f MiB | %.0f MiB | %.0f MiB | %+.0f MiB |" % (
                  label, wc_s, cli_s, thorough_s, peer_s, cli_s / wc_s,
                  thorough_s / cli_s, peer_s / cli_s, cli_peak / 1024, thorough_peak / 1024,
                  export / MIB, cli_peak / 1024 - export / MIB), flush=True)
        if not args.quick:
            os.remove(doc)

    if args.no_hostile:
        print("\nMachine after the runs: load average %.2f %.2f %.2f" % os.getloadavg())
        return 0

    # 2. Documents that try to make the reader slower than linear: each at two sizes.
    print("\n| Hostile document | smaller | larger (4 x) | time ratio | cli peak RSS (larger) "
          "| cli -t smaller | cli -t larger | cli -t time ratio | cli -t peak RSS (larger) "
          "| wc -l (larger) |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    if args.quick:
        hostile = [("one line of Base64", "oneline", "4M", "16M"),
                   ('a line of "<"', "lt", "1M", "4M"),
                   ('a line of "<>"', "ltgt", "1M", "4M"),
                   ("one-character sections", "tiny", "100000", "400000"),
                   ("damaged document", "damaged", "4M", "16M")]
    else:
        hostile = [("one line of Base64", "oneline", "256M", "1G"),
                   ('a line of "<"', "lt", "10000000", "40000000"),
                   ('a line of "<>"', "ltgt", "10000000", "40000000"),
                   ("one-character sections", "tiny", "1000000", "4000000"),
                   ("damaged document", "damaged", "64M", "256M")]
    for label, kind, small, large in hostile:
        results = []
        for size in (small, large):
            doc = make(args.work, "%s-%s.qlx" % (kind, size), kind, size)
            # The peer is quadratic on a line of "<" and is left out here.
            check_same(cli, doc, args.work, with_peer=kind != "lt" and size_bytes(size) < 64 * MIB)
            results.append(median_runs({"wc": ["wc", "-l", doc], "cli": [cli, doc],
                                        "thorough": [cli, "--thorough", doc]}, args.runs))
            if not args.quick:
                os.remove(doc)
        (small_cli, _), (large_cli, large_peak) = results[0]["cli"], results[1]["cli"]
        (small_t, _), (large_t, large_t_peak) = results[0]["thorough"], results[1]["thorough"]
        print("| %s (%s and %s) | %.3f s | %.3f s | %.2f | %.0f MiB | %.3f s | %.3f s | %.2f "
              "| %.0f MiB | %.3f s |" % (
                  label, small, large, small_cli, large_cli, large_cli / small_cli,
                  large_peak / 1024, small_t, large_t, large_t / small_t, large_t_peak / 1024,
                  results[1]["wc"][0]), flush=True)
    print("\nMachine after the runs: load average %.2f %.2f %.2f" % os.getloadavg())
    return 0


if __name__ == "__main__":
    sys.exit(main())
