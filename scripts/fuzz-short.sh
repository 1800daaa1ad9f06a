#!/bin/bash
# fuzz-short.sh - builds the fuzz preset (clang, libFuzzer, ASan + UBSan) and runs every
# fuzz target for a bounded time on its seed corpus, one process each, at low priority.
#
#   FUZZ_SECONDS       seconds per target (default 60)
#   FUZZ_BUILD_DIR     build directory (default build/fuzz, the preset's)
#   TEV_FUZZ_TOLERATE  "text|text": known faults to count instead of stopping on
#                      (see fuzz/fuzz_report.h); leak checks are off while it is set
#
# New inputs go to a temporary folder, never into fuzz/corpus; a crash is kept under
# <build>/fuzz-artifacts/<target>/ to be copied into fuzz/regressions/<target>/.
# The last line is "N passed, M failed"; the exit status is 0 only when nothing failed.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
targets=(fuzz_dxf_reader fuzz_command_line fuzz_dxf_save)

case $seconds in
'' | *[!0-9]*)
    echo "fuzz-short: FUZZ_SECONDS must be a whole number of seconds, not \"$seconds\"" >&2
    exit 2
    ;;
esac

cd "$root" || exit 2
mkdir -p "$build" || exit 2
if ! cmake --preset fuzz -B "$build" >"$build/configure.log" 2>&1 ||
    ! cmake --build "$build" -j2 --target "${targets[@]}" >"$build/build.log" 2>&1; then
    echo "fuzz-short: building the fuzz targets failed; see $build/configure.log and $build/build.log" >&2
    echo "0 passed, ${#targets[@]} failed"
    exit 1
fi

leaks=1
[ -n "${TEV_FUZZ_TOLERATE:-}" ] && leaks=0
passed=0
failed=0
for target in "${targets[@]}"; do
    work=$(mktemp -d)
    artifacts=$build/fuzz-artifacts/$target
    mkdir -p "$artifacts"
    log=$build/$target.log
    # The save target starts from the reader's drawings (seeds, kept faults, the examples) and
    # its own kept faults, with the reader's dictionary.
    seeds=("$root/fuzz/corpus/$target")
    dict=$root/fuzz/dict/$target.dict
    if [ "$target" = fuzz_dxf_save ]; then
        seeds=("$root/fuzz/corpus/fuzz_dxf_reader" "$root/fuzz/regressions/fuzz_dxf_reader"
            "$root/fuzz/regressions/fuzz_dxf_save" "$root/examples")
        dict=$root/fuzz/dict/fuzz_dxf_reader.dict
    fi
    nice -n 10 "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -detect_leaks=$leaks -print_final_stats=1 \
        -dict="$dict" -artifact_prefix="$artifacts/" "$work" "${seeds[@]}" >"$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rm -rf "$work"
    if [ $status -eq 0 ]; then
        passed=$((passed + 1))
        echo "$target: passed, ${runs:-0} inputs in ${seconds}s"
    else
        failed=$((failed + 1))
        echo "$target: FAILED (exit $status) after ${runs:-?} inputs; log $log"
        grep -m1 -E "^(fuzz_|==[0-9]+==ERROR|SUMMARY)" "$log" | sed 's/^/    /'
        ls -t "$artifacts" 2>/dev/null | head -1 | sed "s|^|    input: $artifacts/|"
    fi
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
