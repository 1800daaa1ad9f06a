#!/usr/bin/env bash
# Installs what is missing, builds, and runs the sample: the corner-line script on the
# sample floor plan, writing the result and its picture to out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
mkdir -p out
./build/default/bin/arxhost --script examples/plan.scr --output out/plan-out.dxf \
    --svg out/plan-out.svg examples/plan.dxf
echo
echo "sample: wrote out/plan-out.dxf and out/plan-out.svg"
