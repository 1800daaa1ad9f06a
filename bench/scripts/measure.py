#!/usr/bin/python3
"""Measures the benchmark passes over generated drawings and prints one table per size.

Every figure is a whole process, timed with hyperfine where installed (otherwise with
/usr/bin/time over the same number of runs); peak memory is the maximum resident set of one
run, from /usr/bin/time -v. Ratios are against the tag-scan pass over the same file in the
same run, never against a stored figure.

Two kinds of drawing: our own generator's (tev_gen) and one written by ezdxf
(ezdxf_gen.py), which is slow to make and so kept in --cache while the script is unchanged.
The batch figure runs 1,000 drawings of 1,000 entities through Sel one after another and
then in one batch run, and compares the batch's wall time with the sum over the cores.

run.sh calls this after building; it can be called by hand too:
  measure.py --gen TEV_GEN --tagscan TEV_TAGSCAN [--arxhost ARXHOST] [--scratch DIR]
             [--cache DIR] [--sizes 10000,100000] [--kinds tev,ezdxf] [--seed 1] [--runs N]
             [--batch-drawings 1000] [--pick TEV_BENCH_PICK]
             [--ref-floor SCAN_FLOOR --ref-gen GEN_DRAWING.PY] [--ref-size N] [--ref-runs N]
             [--ref-only]
With the reference floor and generator, the targets are first measured against them, on the
reference drawing and on our own drawing of the same size (runs paired with the floor's).
"""
import argparse
import json
import os
import platform
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def machine():
    cpu = platform.processor() or "unknown cpu"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    mem = ""
    try:
        with open("/proc/meminfo") as f:
            kb = int(f.readline().split()[1])
            mem = ", %.0f GB RAM" % (kb / 1048576)
    except (OSError, ValueError, IndexError):
        pass
    return "%s, %d cores%s, %s %s" % (cpu, os.cpu_count() or 0, mem, platform.system(),
                                      platform.release())


def run_once(argv):
    """Runs argv once; returns (ok, stdout, peak KB or None, stderr tail)."""
    timer = shutil.which("time", path="/usr/bin")
    with tempfile.NamedTemporaryFile("r", suffix=".time") as tf:
        cmd = ([timer, "-v", "-o", tf.name] if timer else []) + argv
        p = subprocess.run(cmd, capture_output=True)
        peak = None
        for line in tf.read().splitlines():
            if "Maximum resident set size" in line:
                peak = int(line.split(":")[1])
    out = p.stdout.decode("utf-8", "replace")
    err = p.stderr.decode("utf-8", "replace").strip().splitlines()[-3:]
    return p.returncode == 0, out, peak, " / ".join(err)


def timed(argv, runs):
    """Mean and standard deviation in seconds over runs (after one warm-up), or None."""
    if shutil.which("hyperfine"):
        with tempfile.NamedTemporaryFile("r", suffix=".json") as jf:
            p = subprocess.run(["hyperfine", "-N", "--warmup", "1", "--runs", str(runs),
                                "--style", "none", "--export-json", jf.name,
                                shlex.join(argv)], capture_output=True)
            if p.returncode != 0:
                return None
            r = json.load(open(jf.name))["results"][0]
            return r["mean"], r["stddev"] or 0.0
    import time
    subprocess.run(argv, capture_output=True)
    times = []
    for _ in range(runs):
        t0 = time.perf_counter()
        if subprocess.run(argv, capture_output=True).returncode != 0:
            return None
        times.append(time.perf_counter() - t0)
    mean = sum(times) / len(times)
    sd = (sum((t - mean) ** 2 for t in times) / max(1, len(times) - 1)) ** 0.5
    return mean, sd


def total_of(text):
    """The all-colours total from tev_tagscan or ezdxf_total.py, or the length the Lpl
    command prints (the last one, should a script run it twice)."""
    m = re.search(r"all colours: ([-0-9.]+)", text)
    if m:
        return float(m.group(1))
    found = re.findall("\u0414\u043b\u0438\u043d\u0430\\s*=\\s*([-0-9.]+)", text)  # "Длина ="
    return float(found[-1]) if found else None


def check_saved(tagscan, saved, label, want_total):
    """What the saved drawing must show after the command: Sel leaves every measured length in
    colour 3; Wpe leaves no line (each became a 2D polyline of the same length). Either way the
    total over all colours is the one read."""
    p = subprocess.run([tagscan, saved], capture_output=True, text=True)
    if p.returncode != 0:
        return "%s: the saved drawing does not read back: %s" % (label, p.stderr.strip())
    total = total_of(p.stdout)
    colours = re.findall(r"^colour (\d+):", p.stdout, re.M)
    lines = re.search(r"measured (\d+) LINE", p.stdout)
    problems = []
    if total is None or want_total is None or \
            abs(total - want_total) > 1e-6 * max(1.0, abs(want_total)):
        problems.append("total %s, read %s" % (total, want_total))
    if "Sel" in label and colours != ["3"]:
        problems.append("colours %s, want only 3" % ",".join(colours))
    if "Wpe" in label and (not lines or lines.group(1) != "0"):
        problems.append("%s lines left" % (lines.group(1) if lines else "?"))
    if problems:
        return "%s: the saved drawing is WRONG: %s" % (label, "; ".join(problems))
    return "%s: the saved drawing checks out (total kept%s)" % (
        label, ", all colour 3" if "Sel" in label else ", no lines left")


def runs_for(size, base):
    if base:
        return base
    return 10 if size <= 10000 else 5 if size <= 100000 else 3


EZDXF_GEN = os.path.join(HERE, "ezdxf_gen.py")


def ensure_drawing(args, kind, size, seed, folder=None):
    """The drawing of one kind and size, made when missing or older than its generator."""
    if kind == "ezdxf":
        path = os.path.join(folder or args.cache, "ezdxf_%d_s%d.dxf" % (size, seed))
        gen = EZDXF_GEN
        argv = ["/usr/bin/python3", EZDXF_GEN, "--entities", str(size), "--seed", str(seed), path]
    else:
        path = os.path.join(folder or args.scratch, "tev_%d_s%d.dxf" % (size, seed))
        gen = args.gen
        argv = [gen, "--entities", str(size), "--seed", str(seed), path]
    if not os.path.exists(path) or os.path.getmtime(path) < os.path.getmtime(gen):
        if kind == "ezdxf" and size >= 100000:
            print("(writing %s with ezdxf: some minutes for 1M entities)" % path,
                  file=sys.stderr)
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
    return path


def fmt(v, pattern, missing="n/a"):
    return missing if v is None else format(v, pattern)


def measure_size(args, kind, size, per_entity, targets):
    dxf = ensure_drawing(args, kind, size, args.seed)
    mb = os.path.getsize(dxf) / 1e6
    runs = runs_for(size, args.runs)
    out = os.path.join(args.scratch, "out_%s_%d.dxf" % (kind, size))
    scripts = os.path.join(HERE)
    rows = []  # label, argv or None, target ratio, note

    rows.append(("tag-scan: length by colour over ALL", [args.tagscan, dxf], None))
    rows.append(("tag-scan: recolour copy", [args.tagscan, "--recolor", "3", dxf, out], None))
    host = args.arxhost

    def arx(script, save):
        if not host:
            return None
        argv = [host, "--script", os.path.join(scripts, script)]
        if save:
            argv += ["--output", out]
        return argv + [dxf]

    rows.append(("arxhost: read + exit", arx("quit.scr", False), None))
    rows.append(("arxhost: read + save", arx("quit.scr", True), None))
    rows.append(("arxhost: read + Lpl ALL + exit", arx("lpl_all.scr", False), 2.0))
    rows.append(("arxhost: read + Sel ALL + save", arx("sel_all.scr", True), 3.0))
    rows.append(("arxhost: read + Wpe ALL + save", arx("wpe_all.scr", True), 5.0))
    mem_targets = {"arxhost: read + Lpl ALL + exit": 1.5, "arxhost: read + Wpe ALL + save": 1.5}
    if size == 100000 and args.ezdxf:
        rows.append(("python3-ezdxf: read + total",
                     ["/usr/bin/python3", os.path.join(HERE, "ezdxf_total.py"), dxf], None))

    print("\n### %d entities, written by %s (%s, %.1f MB, %d runs each)\n"
          % (size, "ezdxf" if kind == "ezdxf" else "tev_gen", os.path.basename(dxf), mb, runs))
    print("| pass | mean s | ± s | µs/entity | peak MB | peak / file | × tag-scan | target |")
    print("|---|---:|---:|---:|---:|---:|---:|---|")
    floor = None
    floor_total = None
    notes = []
    for label, argv, target in rows:
        if argv is None:
            print("| %s | n/a | | | | | | %s |" % (label, "≤ %gx" % target if target else ""))
            continue
        if os.path.exists(out):
            os.remove(out)  # a row that should save must not pass on an earlier row's file
        ok, stdout, peak, err = run_once(argv)
        if not ok:
            print("| %s | failed | | | | | | |" % label)
            notes.append("%s failed: %s" % (label, err or "no message"))
            continue
        if "Sel" in label or "Wpe" in label:
            notes.append(check_saved(args.tagscan, out, label, floor_total))
        t = timed(argv, 1 if "ezdxf" in label else runs)
        if t is None:
            print("| %s | failed | | | | | | |" % label)
            continue
        mean, sd = t
        if floor is None:
            floor = mean
            floor_total = total_of(stdout)
        ratio = mean / floor if floor else None
        peak_mb = peak / 1024 if peak else None
        verdict = ""
        if target:
            verdict = "≤ %gx: %s" % (target, "holds" if ratio <= target else "MISSED")
        print("| %s | %.3f | %.3f | %.3f | %s | %s | %.2f | %s |"
              % (label, mean, sd, mean / size * 1e6, fmt(peak_mb, ".0f"),
                 fmt(peak_mb / mb if peak_mb else None, ".2f"), ratio, verdict))
        per_entity.setdefault((kind, label), {})[size] = mean / size
        if target:
            targets.append((kind, size, label + ": time / tag scan", ratio, target))
        if label in mem_targets and peak_mb:
            targets.append((kind, size, label + ": peak memory / file", peak_mb / mb,
                            mem_targets[label]))
        if "Lpl" in label or "ezdxf" in label:
            theirs = total_of(stdout)
            if theirs is None or floor_total is None:
                notes.append("%s printed no total to compare" % label)
            elif abs(theirs - floor_total) > 1e-6 * max(1.0, abs(floor_total)):
                notes.append("%s total %f DIFFERS from the tag-scan total %f"
                             % (label, theirs, floor_total))
            else:
                notes.append("%s total agrees with the tag-scan total (%f)" % (label, theirs))
        if label.startswith("arxhost") and peak_mb:
            if peak_mb > 1.5 * mb:
                notes.append("%s peak memory %.2fx the file (target ≤ 1.5x)"
                             % (label, peak_mb / mb))
    print()
    for n in notes:
        print("- " + n)


# The reference: the shared floor (one pass over the file that totals one colour's lengths,
# no allocation per line) and the shared 1M-entity drawing. Every target is stated against
# these, so their rows come first; our own drawing is measured against the same floor.
REF_JOBS = [  # label, script, saves, time target
    ("read + Lpl ALL + exit", "lpl_all.scr", False, 2.0),
    ("read + Sel ALL + save", "sel_all.scr", True, 3.0),
    ("read + Wpe ALL + save", "wpe_all.scr", True, 5.0),
]
REF_MEMORY_TARGET = 1.5


def median(values):
    v = sorted(values)
    n = len(v)
    return None if n == 0 else v[n // 2] if n % 2 else (v[n // 2 - 1] + v[n // 2]) / 2


def timed_once(argv):
    """One run: (wall seconds, peak KB or None, user + system seconds), or None when it
    failed."""
    import time
    timer = shutil.which("time", path="/usr/bin")
    with tempfile.NamedTemporaryFile("r", suffix=".time") as tf:
        cmd = ([timer, "-v", "-o", tf.name] if timer else []) + argv
        t0 = time.perf_counter()
        p = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - t0
        peak = None
        cpu = 0.0
        for line in tf.read().splitlines():
            if "Maximum resident set size" in line:
                peak = int(line.split(":")[1])
            elif "User time (seconds)" in line or "System time (seconds)" in line:
                cpu += float(line.split(":")[1])
    return (wall, peak, cpu) if p.returncode == 0 else None


def measure_reference(args, drawings, targets):
    """Each job on each drawing in runs paired with the floor (floor, job, floor, job, ...);
    the time ratio is the median of the job's times over the median of the floor's, the
    memory ratio the median peak over the file's size. The processor times (user + system)
    are shown beside, as their ratio is less swayed by a loaded machine."""
    if not args.arxhost:
        print("\n(no arxhost: the reference rows are left out)")
        return
    runs = args.ref_runs
    out = os.path.join(args.scratch, "out_ref.dxf")
    print("\n### The targets against the reference floor (medians of %d paired runs)\n" % runs)
    print("| drawing | MB | job | job s | floor s | time / floor | target | cpu / floor cpu | "
          "peak MB | peak / file | target |")
    print("|---|---:|---|---:|---:|---:|---|---:|---:|---:|---|")
    for name, dxf in drawings:
        mb = os.path.getsize(dxf) / 1e6
        floor_argv = [args.ref_floor, "query", dxf, "1"]
        for label, script, saves, target in REF_JOBS:
            argv = [args.arxhost, "--script", os.path.join(HERE, script)]
            argv += (["--output", out] if saves else []) + [dxf]
            floor_t, job_t, peaks, floor_cpu, job_cpu = [], [], [], [], []
            timed_once(floor_argv)  # warm-up: the file in the page cache
            for _ in range(runs):
                f = timed_once(floor_argv)
                j = timed_once(argv)
                if f is None or j is None:
                    break
                floor_t.append(f[0])
                job_t.append(j[0])
                floor_cpu.append(f[2])
                job_cpu.append(j[2])
                if j[1]:
                    peaks.append(j[1] / 1024)
            if len(job_t) < runs:
                print("| %s | %.1f | %s | failed | | | | | | | |" % (name, mb, label))
                continue
            ratio = median(job_t) / median(floor_t)
            peak = median(peaks) if peaks else None
            mem = peak / mb if peak else None
            cpu = median(job_cpu) / median(floor_cpu) if median(floor_cpu) else None
            print("| %s | %.1f | %s | %.3f | %.3f | %.2fx | ≤ %gx: %s | %s | %s | %s | ≤ %gx: %s |"
                  % (name, mb, label, median(job_t), median(floor_t), ratio, target,
                "holds" if ratio <= target else "MISSED", fmt(cpu, ".2f"), fmt(peak, ".0f"),
                fmt(mem, ".2f"), REF_MEMORY_TARGET,
                "n/a" if mem is None else "holds" if mem <= REF_MEMORY_TARGET else "MISSED"))
            targets.append((name, None, "arxhost: %s: time / reference floor" % label, ratio,
                            target))
            if mem is not None:
                targets.append((name, None, "arxhost: %s: peak memory / file" % label, mem,
                                REF_MEMORY_TARGET))
    if os.path.exists(out):
        os.remove(out)


def reference_drawings(args):
    """The reference drawing (made by the shared generator when missing, some minutes) and
    our own drawing of the same size."""
    found = []
    n = args.ref_size
    ref = os.path.join(args.cache, "reference_%d.dxf" % n)
    if not os.path.exists(ref) or os.path.getmtime(ref) < os.path.getmtime(args.ref_gen):
        print("(writing %s with the reference generator: some minutes for 1M entities)" % ref,
              file=sys.stderr)
        subprocess.run(["/usr/bin/python3", args.ref_gen, str(n), ref], check=True,
                       stdout=subprocess.DEVNULL)
    found.append(("reference %d" % n, ref))
    found.append(("tev %d" % n, ensure_drawing(args, "tev", n, args.seed)))
    return found


def measure_batch(args, targets):
    """1,000 drawings of 1,000 entities through Sel: one arxhost after another (a shell
    loop), then one batch run on all cores; the batch must take at most 1.5x the loop's time
    divided by the cores."""
    n = args.batch_drawings
    folder = os.path.join(args.scratch, "batch_%d" % n)
    os.makedirs(folder, exist_ok=True)
    for seed in range(1, n + 1):
        ensure_drawing(args, "tev", 1000, seed, folder)
    script = os.path.join(HERE, "sel_all.scr")
    single_out = os.path.join(args.scratch, "batch_single_out.dxf")
    loop = ('for f in "$1"/tev_1000_s*.dxf; do "$2" --script "$3" --output "$4" "$f" '
            '>/dev/null || exit 1; done')
    cores = os.cpu_count() or 1
    outdir = os.path.join(args.scratch, "batch_out")
    shutil.rmtree(outdir, ignore_errors=True)
    load = os.getloadavg()[0]
    import time
    t0 = time.perf_counter()
    p = subprocess.run(["bash", "-c", loop, "loop", folder, args.arxhost, script, single_out],
                       capture_output=True)
    single = time.perf_counter() - t0
    if p.returncode != 0:
        print("\n(batch figure: a single run failed: %s)" % p.stderr.decode()[-300:])
        return
    t0 = time.perf_counter()
    p = subprocess.run([args.arxhost, "--batch", script, "--output-dir", outdir, folder],
                       capture_output=True)
    wall = time.perf_counter() - t0
    done = len([f for f in os.listdir(outdir) if f.endswith(".dxf")]) if os.path.isdir(
        outdir) else 0
    print("\n### Batch: %d drawings of 1,000 entities through Sel (%d cores, load %.1f before)\n"
          % (n, cores, load))
    print("| run | wall s | per drawing ms |")
    print("|---|---:|---:|")
    print("| one arxhost after another (shell loop) | %.2f | %.2f |" % (single, single / n * 1e3))
    print("| arxhost --batch, %d at once | %.2f | %.2f |" % (cores, wall, wall / n * 1e3))
    ratio = wall / (single / cores)
    print("\n- batch exit code %d, %d of %d results written; batch / (loop / %d cores) = %.2f"
          % (p.returncode, done, n, cores, ratio))
    targets.append(("tev", 1000, "batch of %d: wall / (sum of single runs / cores)" % n, ratio,
                    1.5))
    shutil.rmtree(outdir, ignore_errors=True)


def measure_picks(args, sizes, kinds):
    """Runs tev_bench_pick: its own grids of lines, and the smallest and largest drawings of
    each kind measured above. Prints its table; returns its JSON results."""
    if not args.pick or not os.access(args.pick, os.X_OK):
        return []
    files = []
    for kind in kinds:
        for size in sorted({min(sizes), max(sizes)}):
            files.append("%s/%d=%s" % (kind, size, ensure_drawing(args, kind, size, args.seed)))
    out = os.path.join(args.scratch, "pick.json")
    env = dict(os.environ, TEV_PICK_DRAWINGS=",".join(files))
    p = subprocess.run([args.pick, "--benchmark_min_time=0.2", "--benchmark_out=" + out,
                        "--benchmark_out_format=json"], capture_output=True, text=True, env=env)
    print("\n### Picks and window selections (Google Benchmark, CPU time per query)\n")
    print("```")
    print("\n".join(l for l in p.stdout.splitlines() if not set(l) <= {"-"}))
    print("```")
    try:
        with open(out) as f:
            return json.load(f)["benchmarks"]
    except (OSError, ValueError, KeyError):
        return []


def pick_ratios(runs):
    """Each query's CPU time in the largest drawing against the smallest, per drawing kind."""
    by = {}
    for b in runs:
        key, _, size = b["name"].rpartition("/")
        if size.isdigit() and "error_occurred" not in b:
            by.setdefault(key, {})[int(size)] = b["cpu_time"]
    found = []
    for key, sizes in sorted(by.items()):
        if len(sizes) >= 2:
            lo, hi = min(sizes), max(sizes)
            drawing = key.split("/", 1)[1] if "/" in key else "grid of lines"
            job = "%s: %dk / %dk" % (key.split("/")[0], hi // 1000, lo // 1000)
            found.append((drawing, job, sizes[hi] / sizes[lo]))
    return found


def print_targets(args, targets):
    print("\n### The targets\n")
    print("| drawing | job | figure | target | |")
    print("|---|---|---:|---:|---|")
    for kind, size, what, figure, target in targets:
        print("| %s | %s | %.2fx | %gx | %s |" % (
            kind if size is None else "%s %d" % (kind, size), what, figure, target, "holds" if figure <= target else
            "MISSED by %.1f%%" % ((figure / target - 1) * 100)))
    for drawing, job, ratio in pick_ratios(getattr(args, "pick_runs", [])):
        print("| %s | %s | %.2fx | 3x | %s |" % (
            drawing, job, ratio, "holds" if ratio <= 3 else
            "MISSED by %.1f%%" % ((ratio / 3 - 1) * 100)))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--gen", required=True)
    ap.add_argument("--tagscan", required=True)
    ap.add_argument("--arxhost", default="")
    ap.add_argument("--scratch", default=os.path.join(tempfile.gettempdir(), "tev-bench"))
    ap.add_argument("--sizes", default="10000,100000,1000000")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--runs", type=int, default=0, help="runs per figure (default by size)")
    ap.add_argument("--cache", default=None,
                    help="folder that keeps the drawings ezdxf writes (default: --scratch)")
    ap.add_argument("--kinds", default="tev,ezdxf", help="tev (tev_gen), ezdxf, or both")
    ap.add_argument("--batch-drawings", type=int, default=1000,
                    help="drawings of 1,000 entities in the batch figure (0: none)")
    ap.add_argument("--ref-floor", default=None,
                    help="the reference floor (scan_floor built from the shared perf folder)")
    ap.add_argument("--ref-gen", default=None, help="the reference drawing's generator")
    ap.add_argument("--ref-size", type=int, default=1000000,
                    help="entities in the reference drawing and our own beside it")
    ap.add_argument("--ref-runs", type=int, default=3, help="paired runs per reference row")
    ap.add_argument("--ref-only", action="store_true",
                    help="the reference rows and the targets table alone")
    ap.add_argument("--pick", default=None,
                    help="tev_bench_pick: picks in a grid of lines and in the drawings measured")
    args = ap.parse_args()
    os.makedirs(args.scratch, exist_ok=True)
    args.cache = args.cache or args.scratch
    os.makedirs(args.cache, exist_ok=True)
    try:
        import ezdxf  # noqa: F401
        args.ezdxf = True
    except ImportError:
        args.ezdxf = False
    if args.arxhost and not os.access(args.arxhost, os.X_OK):
        args.arxhost = ""

    sizes = [int(s) for s in args.sizes.split(",") if s]
    print("## Benchmark figures\n")
    print("Machine: %s  " % machine())
    print("Timer: %s; arxhost: %s; python3-ezdxf: %s" % (
        "hyperfine" if shutil.which("hyperfine") else "/usr/bin/time",
        args.arxhost or "not built (rows n/a)", "yes" if args.ezdxf else "not installed"))
    per_entity = {}
    targets = []  # (kind, size or None, what, figure, target)
    if args.ref_floor and args.ref_gen and args.ezdxf:
        measure_reference(args, reference_drawings(args), targets)
    elif args.ref_floor or args.ref_only:
        print("\n(no reference floor, generator or python3-ezdxf: the reference rows are "
              "left out)")
    if args.ref_only:
        print_targets(args, targets)
        return 0
    kinds = [k for k in args.kinds.split(",") if k]
    if "ezdxf" in kinds and not args.ezdxf:
        print("\n(no python3-ezdxf: the drawings written by ezdxf are left out)")
        kinds.remove("ezdxf")
    for kind in kinds:
        for size in sizes:
            measure_size(args, kind, size, per_entity, targets)

    if len(sizes) > 1:
        # Against the smallest size and, where there are three or more, the second smallest
        # too: at 10k entities process start-up is a good part of every whole-process figure.
        hi = max(sizes)
        bases = sorted(sizes)[:2] if len(sizes) > 2 else [min(sizes)]
        print("\n### Scaling: time per entity against the largest drawing (target within 20%)\n")
        print("| pass | " + " | ".join("µs/entity at %d" % s for s in sorted(bases) + [hi]) +
              " | " + " | ".join("change %d → %d" % (b, hi) for b in bases) + " |")
        print("|---|" + "---:|" * (2 * len(bases) + 1))
        for (kind, label), by in per_entity.items():
            if hi not in by or any(b not in by for b in bases):
                continue
            cells = ["%.3f" % (by[s] * 1e6) for s in bases + [hi]]
            cells += ["%+.0f%%" % ((by[hi] / by[b] - 1) * 100) for b in bases]
            print("| %s (%s) | %s |" % (label, kind, " | ".join(cells)))

    args.pick_runs = measure_picks(args, sizes, kinds)
    if args.batch_drawings and args.arxhost:
        measure_batch(args, targets)
    print_targets(args, targets)
    return 0


if __name__ == "__main__":
    sys.exit(main())
