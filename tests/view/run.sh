#!/usr/bin/env bash
# The browser journeys through the live view: installs the pinned npm packages (puppeteer-core
# drives Debian's chromium; it downloads no browser) and runs them against ARXHOST.
# Usage: run.sh ARXHOST [SHOT_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export ARXHOST="$1"
export SHOT_DIR="${2:-${TMPDIR:-/tmp}}"
export PUPPETEER_SKIP_DOWNLOAD=1
for tool in node npm /usr/bin/chromium /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "view tests: $tool is missing (bash scripts/deps.sh installs it)"; exit 1; }
done
cd "$here"
# npm ci again only when the lock file changed since the last install.
if ! cmp -s package-lock.json node_modules/.tev-installed-lock 2>/dev/null; then
    npm ci --no-audit --no-fund --loglevel=error
    cp package-lock.json node_modules/.tev-installed-lock
fi
# The report is kept beside the screenshot, for a run that failed.
node --test --test-concurrency=1 view.test.js kinds.test.js snap.test.js drafting.test.js 2>&1 | tee "$SHOT_DIR/view-test.log"
exit "${PIPESTATUS[0]}"
