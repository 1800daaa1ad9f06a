#!/usr/bin/python3
"""Runs the other-writers checks over whole folders of real drawings, outside CI.

    scripts/sweep-drawings.py [--jobs N] [--librecad N] [--report FILE] [--writers] PATH...

Every *.dxf under each PATH (and with --writers, a drawing of every writer the test knows
whose tool is installed, written for the sweep) is audited, then run through Lpl, Wpe and
Sel as tests/e2e/test_other_writers.py runs its drawings, and the saved results are read by
python3-ezdxf (its audit clean, nothing orphaned, every entity the command did not change
unchanged, the totals equal to ezdxf's). --librecad N also has LibreCAD print every Nth
saved result to PDF (`librecad dxf2pdf`), to see that another CAD program reads it.
Ends with a summary: files, passed, failed by reason; exit 1 when any failed, but for a
writer's drawing refused for a fault whose mend it waits for (WAITING in the test).

ARXHOST names the executable (build/default/bin/arxhost by default).
"""
import argparse
import atexit
import collections
import multiprocessing
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
os.environ.setdefault("ARXHOST", os.path.join(SOURCE, "build", "default", "bin", "arxhost"))
os.environ.setdefault("TEV_SOURCE_DIR", SOURCE)
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))

import test_other_writers as checks  # noqa: E402  (after the environment it reads)


def drawings(paths):
    for path in paths:
        if os.path.isfile(path):
            yield path
            continue
        for folder, _, names in sorted(os.walk(path)):
            for name in sorted(names):
                if name.lower().endswith(".dxf"):
                    yield os.path.join(folder, name)


def repair_kinds(stderr):
    """The kinds of repair arxhost noted, without places and values."""
    kinds = []
    for line in stderr.splitlines():
        m = re.match(r"arxhost: repaired: .*?:\d+: (.*)", line)
        if m:
            value = r"'[^']*'|\"[^\"]*\"|(?<!group )\b-?\d+(\.\d+)?"
            kinds.append(re.sub(value, "…", m.group(1)))
    return kinds


def sweep_one(job):
    """(path, reason it failed or None, details, repairs the reading noted)"""
    path, with_librecad = job
    work = tempfile.mkdtemp(prefix="tev-sweep-")
    try:
        audit = subprocess.run([os.environ["ARXHOST"], "--audit", path], capture_output=True,
                               text=True, timeout=300)
        repairs = repair_kinds(audit.stderr)
        if audit.returncode not in (0, 1):
            return path, "arxhost --audit exit %d" % audit.returncode, audit.stderr[-1000:], []
        try:
            checks.read_input(path)
        except Exception as e:  # the input itself is beyond ezdxf: nothing to compare with
            return path, "ezdxf cannot read the input", repr(e), repairs
        for check in (checks.check_lpl_and_wpe, checks.check_sel):
            r = check(path, work)
            if with_librecad:
                checks.librecad_reads(r.path("out.dxf"), work)
        return path, None, "", repairs
    except checks.Fault as f:
        return path, f.reason, str(f), []
    except Exception as e:  # a fault in a check itself is a fault too, named by its type
        return path, "check raised " + type(e).__name__, repr(e), []
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("paths", nargs="*", metavar="PATH")
    ap.add_argument("--writers", action="store_true",
                    help="also write and check a drawing of every writer the test knows")
    ap.add_argument("--jobs", type=int, default=1, help="drawings checked at once (1)")
    ap.add_argument("--librecad", type=int, default=0, metavar="N",
                    help="LibreCAD prints every Nth saved result (0: none)")
    ap.add_argument("--report", help="also write each failure, with its details, here")
    args = ap.parse_args()
    if checks.ezdxf is None:
        sys.exit("sweep: python3-ezdxf is not installed")
    if args.librecad and shutil.which("librecad") is None:
        sys.exit("sweep: --librecad needs LibreCAD (apt-get install librecad)")
    if not args.paths and not args.writers:
        ap.error("give a PATH or --writers")
    files = list(drawings(args.paths))
    waiting = {}  # drawing: (the fault whose mend its writer waits for, the refusal it gives)
    if args.writers:
        written = tempfile.mkdtemp(prefix="tev-sweep-writers-")
        atexit.register(shutil.rmtree, written, True)
        for name, path in checks.make_drawings(written):
            files.append(path)
            if name in checks.WAITING:
                waiting[path] = checks.WAITING[name]
    jobs = [(f, args.librecad > 0 and i % args.librecad == 0) for i, f in enumerate(files)]
    failed = collections.defaultdict(list)
    repaired = collections.Counter()  # files by kind of repair
    report = open(args.report, "w", encoding="utf-8") if args.report else None
    started = time.monotonic()
    with multiprocessing.Pool(max(1, args.jobs)) as pool:
        for n, (path, reason, detail, repairs) in enumerate(
                pool.imap_unordered(sweep_one, jobs), 1):
            repaired.update(set(repairs))
            fault, said = waiting.get(path, (None, None))
            if reason is not None and said is not None and said in detail:
                reason = "waiting for the mend of " + fault
            if reason is not None:
                failed[reason].append(path)
                print("FAIL %s: %s" % (path, reason), flush=True)
                if report:
                    report.write("%s: %s\n%s\n\n" % (path, reason, detail))
                    report.flush()
            if n % 50 == 0:
                print("%d of %d checked, %d failed, %.0f s" % (
                    n, len(files), sum(map(len, failed.values())),
                    time.monotonic() - started), flush=True)
    bad = sum(map(len, failed.values()))
    print("\nfiles %d, passed %d, failed %d (%.0f s)" % (
        len(files), len(files) - bad, bad, time.monotonic() - started))
    if args.librecad:
        print("LibreCAD printed what was saved from %d of the files" % (
            sum(1 for _, sample in jobs if sample)))
    for reason, paths in sorted(failed.items(), key=lambda kv: -len(kv[1])):
        print("  %5d  %s  (e.g. %s)" % (len(paths), reason, paths[0]))
    if repaired:
        print("repaired on reading (files):")
        for kind, count in repaired.most_common():
            print("  %5d  %s" % (count, kind))
    sys.exit(1 if any(not r.startswith("waiting") for r in failed) else 0)


if __name__ == "__main__":
    main()
