#!/usr/bin/env bash
# The live view's speed through headless Chromium on the 1M-entity benchmark drawing and on
# a drawing of 200,000 splines and 200,000 hatches (bench/view/gen_kept.py).
#   bench/view/run.sh [RUNS]
# Environment: ARXHOST (default build/default/bin/arxhost), TEV_BENCH_SCRATCH (where the
# drawings are written; default $TMPDIR/tev-bench), TEV_BENCH_BUILD (the generator's build),
# TEV_VIEW_REFERENCE (a drawing measured first as well: the shared reference 1M drawing).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${TEV_BENCH_BUILD:-$root/build/bench-release}
scratch=${TEV_BENCH_SCRATCH:-${TMPDIR:-/tmp}/tev-bench}
arxhost=${ARXHOST:-$root/build/default/bin/arxhost}
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root/bench" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTEV_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target tev_gen >/dev/null
mkdir -p "$scratch"
drawing=$scratch/view_1000000_s1.dxf
[[ -f $drawing ]] || "$build/tev_gen" --entities 1000000 --seed 1 "$drawing"
(cd "$root/tests/view" && [[ -d node_modules ]] || npm ci --no-audit --no-fund --loglevel=error)
kept=$scratch/view_kept_200000_s1.dxf
[[ -f $kept ]] || /usr/bin/python3 "$root/bench/view/gen_kept.py" 200000 "$kept" 1
for d in ${TEV_VIEW_REFERENCE:-} "$drawing" "$kept"; do
    echo "== $(basename "$d")"
    echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
    node "$root/bench/view/measure.js" "$arxhost" "$d" "${1:-10}"
    echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
done
