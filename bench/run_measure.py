#!/usr/bin/env python3
"""Times drumlo-listgen against the streaming XML parser on generated workbooks; used by bench/run.

Usage: run_measure.py --tool EXE --out-dir DIR --reps N [--check] MB=FILE ...
Prints the table of figures, the budget checks and the phase breakdown of the 100 MB run.
Exit codes: 0 all ran, 1 a budget check failed under --check, 2 a measured program failed.
"""
import argparse
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1024 * 1024
ALL_IDS = ["--from", "1", "--to", "2147483647"]
USAGE_ERROR = 64  # what drumlo-listgen returns for an option it does not know
PHASES = ["read", "decode", "scan", "encode", "write", "total"]
PHASE_LINE = re.compile(r"^phase (\S+) ([0-9.eE+-]+)\s*$")


class RunFailed(Exception):
    pass


class Timeout(Exception):
    pass


def OnAlarm(*_):
    raise Timeout()


def Run(argv, capture=False):
    """Runs argv from process start to exit; returns (seconds, completed process). The wait
    blocks (a polling wait would round the times up), an alarm ends programs that hang, and the
    program gets its own process group so that its children end with it."""
    out = subprocess.PIPE if capture else subprocess.DEVNULL
    signal.setitimer(signal.ITIMER_REAL, Run.timeout)
    try:
        start = time.perf_counter()
        with subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                              start_new_session=True) as process:
            try:
                stdout, stderr = process.communicate()
            except BaseException:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
                raise
        elapsed = time.perf_counter() - start
    except Timeout:
        raise RunFailed("no exit after %d s from: %s" % (Run.timeout, " ".join(argv)))
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
    return elapsed, subprocess.CompletedProcess(argv, process.returncode, stdout, stderr)


Run.timeout = 600  # seconds one program may take; set per workbook


def Checked(argv, done):
    if done.returncode != 0:
        raise RunFailed("exit code %d from: %s" % (done.returncode, " ".join(argv)))
    return done


def FileSystemType(path):
    done = subprocess.run(["stat", "-f", "-c", "%T", path], stdout=subprocess.PIPE, text=True)
    return done.stdout.strip()


class FreshDirs:
    """Empty output directories under one directory of this run's own (other runs may share the
    base), all removed at the end: on ext4 without a journal, inodes freed in the last minutes
    are skipped when files are created, so deleting thousands of files makes the next thousands
    slow to create in the same place."""

    STAMP = "removed-at"  # when a run last removed many files, and how many
    MANY = 1000

    def __init__(self, base):
        os.makedirs(base, exist_ok=True)
        self.stamp = os.path.join(base, self.STAMP)
        self.root = tempfile.mkdtemp(prefix="run-", dir=base)
        self.dirs = []
        self.made = 0
        # On tmpfs the files are memory and deleting them costs nothing later, so the files of
        # earlier runs go before the next run: kept, they would leave each run only memory the
        # machine has not touched yet, which on a virtual machine is slow to touch the first time.
        self.in_memory = FileSystemType(base) == "tmpfs"

    def Make(self, label):
        if self.in_memory:
            for path in self.dirs:
                shutil.rmtree(path, ignore_errors=True)
            self.dirs = []
        path = os.path.join(self.root, "%s-%d" % (label, self.made))
        self.made += 1
        os.makedirs(path)
        self.dirs.append(path)
        return path

    def RemoveAll(self):
        files = sum(len(os.listdir(path)) for path in self.dirs if os.path.isdir(path))
        shutil.rmtree(self.root, ignore_errors=True)
        self.dirs = []
        if files >= self.MANY:
            with open(self.stamp, "w") as stamp:
                stamp.write("%d %d\n" % (time.time(), files))

    def RecentRemoval(self):
        """(files, seconds ago) of the last large removal when it was minutes ago, else None."""
        try:
            with open(self.stamp) as stamp:
                when, files = (int(word) for word in stamp.read().split())
        except (OSError, ValueError):
            return None
        ago = time.time() - when
        return (files, ago) if 0 <= ago < 400 else None


class SizeRun:
    """The command lines for one workbook; every whole run writes into a new directory."""

    def __init__(self, tool, workbook, dirs, label):
        self.tool = tool
        self.workbook = workbook
        self.dirs = dirs
        self.label = label

    def Whole(self):
        out = self.dirs.Make(self.label)
        return [self.tool, "--quiet"] + ALL_IDS + ["--out", out, self.workbook]

    def Dry(self):
        return [self.tool, "--quiet", "--dry-run"] + ALL_IDS + [self.workbook]

    def Reference(self):
        return ["xmllint", "--stream", "--noout", self.workbook]

    def Xlsx(self):
        """The same rows saved as .xlsx, beside the XML workbook."""
        out = self.dirs.Make(self.label + "-xlsx")
        return [self.tool, "--quiet"] + ALL_IDS + ["--out", out,
                                                  os.path.splitext(self.workbook)[0] + ".xlsx"]


def PeakRssKib(argv):
    """Runs argv under GNU time; returns its peak resident set in KiB."""
    with tempfile.NamedTemporaryFile("r", suffix=".rss") as report:
        full = ["/usr/bin/time", "-f", "%M", "-o", report.name] + argv
        Checked(argv, Run(full)[1])
        return int(report.read().split()[-1])


def RowsRead(run):
    argv = [run.tool, "--quiet", "--dry-run", "--report=json"] + ALL_IDS + [run.workbook]
    done = Checked(argv, Run(argv, capture=True)[1])
    return json.loads(done.stdout)["rows_read"]


def MeasureSize(run, reps):
    """Warms the page cache, then times the three programs interleaved, rotating the first."""
    programs = [("whole", run.Whole), ("dry", run.Dry), ("xmllint", run.Reference),
                ("xlsx", run.Xlsx)]
    warm_up = run.Whole()
    figures = {"rss_kib": PeakRssKib(warm_up), "files": len(os.listdir(warm_up[-2]))}
    for _, make in programs[1:]:
        argv = make()
        Checked(argv, Run(argv)[1])
    figures["rows"] = RowsRead(run)
    seconds = {name: [] for name, _ in programs}
    for rep in range(reps):
        first = rep % len(programs)
        for name, make in programs[first:] + programs[:first]:
            argv = make()  # the output directory is made here, before the clock starts
            elapsed, done = Run(argv)
            Checked(argv, done)
            seconds[name].append(elapsed)
    for name in seconds:
        figures[name] = statistics.median(seconds[name])
    return figures


def MeasurePhases(run, reps):
    """Medians of the phase lines printed by --timings, or None when this build lacks the flag."""
    samples = {}
    walls = []
    for _ in range(reps):
        argv = run.Whole()
        argv.insert(2, "--timings")
        elapsed, done = Run(argv, capture=True)
        if done.returncode == USAGE_ERROR:
            return None
        Checked(argv, done)
        walls.append(elapsed)
        for line in done.stderr.decode("utf-8", "replace").splitlines():
            match = PHASE_LINE.match(line)
            if match:
                samples.setdefault(match.group(1), []).append(float(match.group(2)))
    phases = {name: statistics.median(values) for name, values in samples.items()}
    return phases, statistics.median(walls)


def Table(header, rows):
    """Right-aligned columns under their headers."""
    widths = [max(len(cell) for cell in column) for column in zip(header, *rows)]
    return "\n".join("  ".join(cell.rjust(w) for cell, w in zip(line, widths))
                     for line in [header] + rows)


def FigureRow(f):
    mb = f["bytes"] / MIB
    rss_mb = f["rss_kib"] / 1024
    return ["%.1f" % mb, str(f["rows"]), str(f["files"]),
            "%.4f" % f["whole"], "%.4f" % f["dry"], "%.4f" % f["xmllint"],
            "%.1f" % (mb / f["whole"]), "%.1f" % (mb / f["dry"]), "%.1f" % (mb / f["xmllint"]),
            "%.2f" % (f["whole"] / f["xmllint"]), "%.2f" % (f["dry"] / f["xmllint"]),
            "%.1f" % rss_mb, "%.2f" % (rss_mb / mb), "%.4f" % f["xlsx"],
            "%.2f" % (f["xlsx"] / f["whole"])]


FIGURE_HEADER = ["size MB", "rows", "files", "ours s", "dry s", "xmllint s",
                 "ours MB/s", "dry MB/s", "xmllint MB/s", "ours/xmllint", "dry/xmllint",
                 "peak RSS MB", "RSS/size", "xlsx s", "xlsx/ours"]


def Verdict(ok):
    return "PASS" if ok else "FAIL"


def BudgetLines(figures):
    """One line per budget check the measured sizes allow; returns (lines, all passed)."""
    lines = []
    passed = True

    def Check(text, ok, detail):
        nonlocal passed
        passed = passed and ok
        lines.append("%s: %s (%s)" % (text, Verdict(ok), detail))

    big = [mb for mb in figures if mb >= 100]
    if big:
        at = 100 if 100 in figures else max(big)
        f = figures[at]
        lines.append("budget at %d MB:" % at)
        whole = f["whole"] / f["xmllint"]
        dry = f["dry"] / f["xmllint"]
        rss = (f["rss_kib"] * 1024) / f["bytes"]
        Check("  whole <= 1.0x xmllint", whole <= 1.0, "%.3f" % whole)
        Check("  dry-run <= 0.35x", dry <= 0.35, "%.3f" % dry)
        Check("  peak RSS <= 2.5x", rss <= 2.5, "%.3f" % rss)
        xlsx = f["xlsx"] / f["whole"]
        Check("  the same table as .xlsx <= 1.5x ours", xlsx <= 1.5, "%.3f" % xlsx)
    else:
        lines.append("budget at 100 MB: not measured (no size of 100 MB or more)")
    if 1024 in figures and 10 in figures:
        rate = {mb: figures[mb]["bytes"] / MIB / figures[mb]["whole"] for mb in (10, 1024)}
        change = rate[1024] / rate[10] - 1
        # A slower rate at 1 GB would mean time growing faster than the size; a faster one only
        # that the fixed costs of a run (start, threads, the last files) weigh more on 10 MB.
        Check("MB/s at 1 GB at most 20% below 10 MB", change >= -0.20,
              "%.1f vs %.1f MB/s, %+.0f%%" % (rate[1024], rate[10], change * 100))
    if 5 in figures:
        Check("5 MB whole run < 0.1 s", figures[5]["whole"] < 0.1, "%.3f s" % figures[5]["whole"])
    return lines, passed


def PhaseLines(measured):
    if measured is None:
        return ["phase timings: not available (this build has no --timings)"]
    phases, wall = measured
    if not phases:
        return ["phase timings: not available (--timings printed no phase lines)"]
    total = phases.get("total")
    names = [n for n in PHASES if n in phases] + sorted(n for n in phases if n not in PHASES)
    rows = [[name, "%.4f" % phases[name],
             "%.0f%%" % (100 * phases[name] / total) if total and name != "total" else ""]
            for name in names]
    return (["phase timings, 100 MB whole run (median of 3; scan includes the song rules;"
             " phases on\nhelper threads overlap, so their shares can add up to more than 100%):"] +
            ["  " + line for line in Table(["phase", "seconds", "of total"], rows).splitlines()] +
            ["  process start to exit: %.4f s" % wall])


def ParseArgs():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--out-dir", required=True, help="where each run makes its own directory")
    parser.add_argument("--reps", type=int, default=5)
    parser.add_argument("--check", action="store_true")
    parser.add_argument("workbooks", nargs="+", metavar="MB=FILE")
    return parser.parse_args()


def main():
    args = ParseArgs()
    # Interrupted runs still remove their output directories.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    signal.signal(signal.SIGALRM, OnAlarm)
    dirs = FreshDirs(args.out_dir)
    recent = dirs.RecentRemoval()
    figures = {}
    phase_lines = ["phase timings: measured only for the 100 MB workbook (not in --sizes)"]
    try:
        for item in args.workbooks:
            mb_text, path = item.split("=", 1)
            mb = int(mb_text)
            run = SizeRun(args.tool, path, dirs, mb_text)
            Run.timeout = 60 + mb  # about 1 MB/s: only a hang gets there
            print("measuring %s MB ..." % mb_text, file=sys.stderr, flush=True)
            figures[mb] = MeasureSize(run, args.reps)
            figures[mb]["bytes"] = os.path.getsize(path)
            if mb == 100:
                phase_lines = PhaseLines(MeasurePhases(run, 3))
    except RunFailed as failure:
        print("bench/run: %s" % failure, file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        return 130
    finally:
        dirs.RemoveAll()
    print("median of %d runs each; MB = 2^20 bytes; ours = drumlo-listgen writing all files,\n"
          "dry = the same with --dry-run, xmllint = xmllint --stream --noout, xlsx = ours on\n"
          "the same rows saved as .xlsx" % args.reps)
    if dirs.in_memory:
        print("the list files of each whole run are removed before the next one (untimed): on\n"
              "tmpfs they are memory that the next run would otherwise not get back")
    if recent and not dirs.in_memory:
        print("note: a run removed %d files here %.0f s ago; creating files can be slow for"
              " minutes\nafter that (ext4 without a journal), so 'ours' may be high" % recent)
    print(Table(FIGURE_HEADER, [FigureRow(figures[mb]) for mb in sorted(figures)]))
    print()
    budget, passed = BudgetLines(figures)
    print("\n".join(budget))
    print()
    print("\n".join(phase_lines))
    return 1 if args.check and not passed else 0


if __name__ == "__main__":
    sys.exit(main())
