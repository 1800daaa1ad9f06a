#!/usr/bin/env bash
# Checks that every C++ source follows the project's .clang-format; lists the ones that do not.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed"; exit 0; }
bad=0
while IFS= read -r f; do
    if clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then continue; fi
    echo "check-format: $f is not formatted (clang-format -i $f)"
    bad=1
done < <(git ls-files '*.cpp' '*.h')
exit $bad
