#!/usr/bin/env bash
# One command for the benchmark: builds the generator and the tag-scan floor (Release), writes
# the 10k/100k/1M drawings into a scratch directory outside the repository, and prints a table
# per size (tag-scan floor, arxhost reading, each command over ALL, saving, peak memory, ratios)
# plus python3-ezdxf on the 100k drawing where it is installed.
#
#   bench/run.sh [--sizes 10000,100000,1000000] [--runs N] [--no-host-build]
#                [--kinds tev,ezdxf] [--batch-drawings 1000] [--ref-size N] [--ref-runs N]
#                [--ref-only]
#
# Environment: ARXHOST (the host to measure; default build/default/bin/arxhost, else one built
# in build/bench-host), TEV_BENCH_SCRATCH (drawings and copies; default $TMPDIR/tev-bench),
# TEV_BENCH_BUILD (build directory of the benchmark tools; default build/bench-release),
# TEV_BENCH_CACHE (the drawings ezdxf writes, slow to make; default build/bench-drawings),
# TEV_REF_PERF (the reference floor and drawing generator; default ../shared/perf): the
# targets are measured first against that floor, on its drawing and on our own.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sizes=10000,100000,1000000
runs=0
build_host=1
kinds=tev,ezdxf
batch_drawings=1000
ref=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --sizes) sizes=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --no-host-build) build_host=0; shift ;;
        --kinds) kinds=$2; shift 2 ;;
        --batch-drawings) batch_drawings=$2; shift 2 ;;
        --ref-size|--ref-runs) ref+=("$1" "$2"); shift 2 ;;
        --ref-only) ref+=(--ref-only); shift ;;
        -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
        *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

build=${TEV_BENCH_BUILD:-$root/build/bench-release}
scratch=${TEV_BENCH_SCRATCH:-${TMPDIR:-/tmp}/tev-bench}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

# The floor builds on its own, so that it never waits on the rest of the tree.
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root/bench" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DTEV_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target tev_gen tev_tagscan >/dev/null

# The host: as given, else as the default preset built it, else built here (RelWithDebInfo, as
# the default preset builds, without the tests) unless told not to.
find_host() {
    for candidate in "$root/build/default/bin/arxhost" "$root/build/default/host/app/arxhost" \
                     "$root/build/bench-host/bin/arxhost"; do
        [[ -x $candidate ]] && echo "$candidate" && return 0
    done
    return 0 # none yet: an empty answer, not a failure that would end the script
}
arxhost=${ARXHOST:-$(find_host)}
if [[ -z $arxhost && $build_host == 1 && -f $root/host/app/CMakeLists.txt ]]; then
    echo "building arxhost in build/bench-host ..." >&2
    if cmake -S "$root" -B "$root/build/bench-host" "${generator[@]}" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEV_TESTS=OFF -DTEV_BENCH=OFF >/dev/null &&
       cmake --build "$root/build/bench-host" -j2 --target arxhost >/dev/null; then
        arxhost=$(find_host)
    else
        echo "run.sh: arxhost did not build; its rows show n/a" >&2
    fi
fi

cache=${TEV_BENCH_CACHE:-$root/build/bench-drawings}
mkdir -p "$scratch" "$cache"

# The reference floor, built as its notes say, where the shared folder is.
perf=${TEV_REF_PERF:-$root/../shared/perf}
if [[ -f $perf/scan_floor.cpp && -f $perf/gen_drawing.py ]]; then
    if [[ ! -x $build/scan_floor || $build/scan_floor -ot $perf/scan_floor.cpp ]]; then
        g++ -O2 -std=c++17 -o "$build/scan_floor" "$perf/scan_floor.cpp"
    fi
    ref+=(--ref-floor "$build/scan_floor" --ref-gen "$perf/gen_drawing.py")
else
    echo "run.sh: no reference floor in $perf; its rows are left out" >&2
fi

# Pick and window-selection latency in the host's database: they must not grow with the
# drawing (the 1M figure within 3x of the 10k one). measure.py runs it on its grids and on
# the drawings it measured. The one built beside the host measured (TEV_BENCH is on in the
# default preset), else a Release build of its own.
pickbuild=$root/build/bench-pick
pick=""
ref_only=0
for a in "${ref[@]}"; do [[ $a == --ref-only ]] && ref_only=1; done
if [[ $ref_only == 1 ]]; then
    : # the reference rows alone: no picks
elif [[ -n $arxhost && -x $(dirname "$arxhost")/../bench/tev_bench_pick ]]; then
    pick=$(dirname "$arxhost")/../bench/tev_bench_pick
elif cmake -S "$root" -B "$pickbuild" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DTEV_TESTS=OFF -DTEV_BENCH=ON >/dev/null 2>&1 &&
     cmake --build "$pickbuild" -j2 --target tev_bench_pick >/dev/null 2>&1; then
    pick=$pickbuild/bench/tev_bench_pick
fi

/usr/bin/python3 "$root/bench/scripts/measure.py" --gen "$build/tev_gen" \
    --tagscan "$build/tev_tagscan" --arxhost "$arxhost" --scratch "$scratch" \
    --cache "$cache" --sizes "$sizes" --runs "$runs" --kinds "$kinds" \
    --batch-drawings "$batch_drawings" ${pick:+--pick "$pick"} "${ref[@]}"

# In-process figures of the floor, where Google Benchmark is installed.
if [[ $ref_only == 0 ]] && cmake --build "$build" -j2 --target tev_bench_tags >/dev/null 2>&1; then
    echo
    echo "### In-process tag-scan figures (Google Benchmark)"
    echo
    echo '```'
    "$build/tev_bench_tags" --benchmark_min_time=0.2 2>/dev/null | grep -v '^-\+$'
    echo '```'
fi

