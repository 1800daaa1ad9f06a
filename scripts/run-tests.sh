#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build, then the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, and the DXF reading tests and the
# view's two-part drawing under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/check-format.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j2
if [ "${TEV_SKIP_ASAN:-0}" != 1 ]; then
    cmake --preset asan >/dev/null
    cmake --build --preset asan
    ASAN_OPTIONS=detect_leaks=1 ctest --preset asan -j2
fi
# The DXF reader splits big files on a thread of its own: its tests under ThreadSanitizer.
if [ "${TEV_SKIP_TSAN:-0}" != 1 ]; then
    cmake --preset tsan >/dev/null
    cmake --build --preset tsan
    TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/host/31_dxf_read/test_dxf_read
    # The view draws a crowded drawing's pixels in two parts at once.
    TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/view/test_view \
        --gtest_filter='ViewTest.PixelsDrawnInTwoPartsAreThoseOfOnePass'
fi
