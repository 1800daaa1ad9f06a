#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the benchmarks need
# and the machine lacks. Safe to run again: it asks apt only for what is missing.
set -euo pipefail
pkgs=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev libboost-dev libcli11-dev
      gettext python3-ezdxf hyperfine clang-14 libfuzzer-14-dev libclang-rt-14-dev
      chromium
      gnuplot-nox pstoedit) # the last two write DXF files for the other-writers test
# LibreCAD: the other-writers test tries its drawings and has it print what arxhost saved.
pkgs+=(librecad)
# More writers of the other-writers test, without their recommended packages (about 32 MB
# to fetch, 230 MB installed): OpenSCAD (and its sample drawings), SolveSpace's command line,
# GDAL's ogr2ogr, Dia. FreeCAD (1 GB) and Inkscape (130 MB and a Python stack for its DXF
# export) are left out.
writers=(openscad solvespace gdal-bin dia)
missing=()
for p in "${pkgs[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
missing_writers=()
for p in "${writers[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing_writers+=("$p")
done
# The view's browser tests run on Node and npm (any recent Node will do, Debian's or not).
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ((${#missing[@]} + ${#missing_writers[@]})); then
    "${sudo_cmd[@]}" apt-get update -qq
fi
if ((${#missing[@]})); then
    echo "deps: installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
if ((${#missing_writers[@]})); then
    echo "deps: installing ${missing_writers[*]}"
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
        --no-install-recommends "${missing_writers[@]}"
fi
# The DXF writer libraries from npm, as pinned by their lock file (npm ci again only when
# the lock file changed since the last install).
writers_js="$(cd "$(dirname "$0")/.." && pwd)/tests/e2e/writers"
if ! cmp -s "$writers_js/package-lock.json" "$writers_js/node_modules/.tev-installed-lock" \
    2>/dev/null; then
    echo "deps: installing the npm DXF writers (tests/e2e/writers)"
    (cd "$writers_js" && npm ci --no-audit --no-fund --loglevel=error &&
        cp package-lock.json node_modules/.tev-installed-lock)
fi
