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
missing=()
for p in "${pkgs[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# The view's browser tests run on Node and npm (any recent Node will do, Debian's or not).
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
    echo "deps: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
