#!/usr/bin/env bash
# wine.sh - the Windows build, checked under Wine: builds tevcom.arx and arxhost.exe with
# Debian's MinGW-w64, checks the module's exports, runs arxhost.exe headless in a fresh
# Wine prefix with the ANSI code page 1251, and reads the module's registry entries back
# through the registry API (tests/host/60_module_registry/wine/regcheck.cpp). A scenario script must
# give the same transcript and drawing as the Linux build.
#
# Environment: TEV_MINGW_BUILD the build folder (default: build/mingw, the preset's).
#              LINUX_ARXHOST  the Linux arxhost to compare with (default: built here
#                             with the "default" preset when build/default has none).
# Ends with "N passed, M failed"; the exit code is 0 only when nothing failed.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
CHECKS=$ROOT/tests/host/60_module_registry/wine
BUILD=${TEV_MINGW_BUILD:-$ROOT/build/mingw}
passed=0
failed=0

pass() { passed=$((passed + 1)); echo "ok: $*"; }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit $?
}

# --- Tools --------------------------------------------------------------------------

# apt-get, waiting while another process holds the package lock.
apt_install() {
    for _ in $(seq 1 60); do
        if DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"; then
            return 0
        fi
        sleep 10
    done
    return 1
}

need=()
for pkg in g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 locales; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ] && ! apt_install "${need[@]}"; then
    fail "installing ${need[*]}"
    finish
fi

# LC_ALL=ru_RU.UTF-8 makes Wine's ANSI code page 1251, the module's.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
    sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
fi

# --- Build --------------------------------------------------------------------------

cd "$ROOT" || exit 2
if cmake --preset mingw -B "$BUILD" >/dev/null && cmake --build "$BUILD" -j2; then
    pass "the mingw preset builds arxhost.exe and tevcom.arx"
else
    fail "the mingw preset does not build"
    finish
fi
BIN=$BUILD/bin
OBJDUMP=x86_64-w64-mingw32-objdump

exports=$($OBJDUMP -p "$BIN/tevcom.arx" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p')
if [ "$exports" = "acrxEntryPoint" ]; then
    pass "tevcom.arx exports exactly acrxEntryPoint"
else
    fail "tevcom.arx exports: $(echo "$exports" | tr '\n' ' ')"
fi
dlls=$($OBJDUMP -p "$BIN/tevcom.arx" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')
if ! echo "$dlls" | grep -qiE 'libstdc|libgcc|winpthread' && echo "$dlls" | grep -q 'arxhost.exe'; then
    pass "tevcom.arx imports the host and system DLLs only ($dlls)"
else
    fail "tevcom.arx imports $dlls"
fi

REGCHECK=$BUILD/regcheck.exe
if x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -static \
    -o "$REGCHECK" "$CHECKS/regcheck.cpp"; then
    pass "regcheck.exe builds"
else
    fail "regcheck.exe does not build"
    finish
fi

# --- Wine ---------------------------------------------------------------------------

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tevcom-wine.XXXXXX)
export WINEARCH=win64 WINEDEBUG=-all LC_ALL=ru_RU.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer dialogs
unset DISPLAY WAYLAND_DISPLAY             # headless
WORK=$(mktemp -d /tmp/tevcom-wine-run.XXXXXX)
cleanup() {
    wineserver -k >/dev/null 2>&1
    rm -rf "$WINEPREFIX" "$WORK"
}
trap cleanup EXIT

if wine wineboot --init >/dev/null 2>&1 && wineserver -w; then
    pass "a fresh Wine prefix in $WINEPREFIX"
else
    fail "wineboot in $WINEPREFIX"
    finish
fi

cp "$BIN/arxhost.exe" "$BIN/tevcom.arx" "$REGCHECK" "$WORK/"
cp -r "$BIN/locale" "$WORK/" # the host's Russian texts, beside arxhost.exe as on Linux
cp "$BIN/tevcom.arx" "$WORK/tevcom2.arx"
MODULE_WIN=$(winepath -w "$WORK/tevcom.arx" 2>/dev/null)
cd "$WORK" || exit 2

# Runs arxhost.exe with the arguments; its transcript in $WORK/$1.txt.
arxhost() {
    local name=$1
    shift
    wine ./arxhost.exe "$@" >"$name.txt" 2>"$name.err"
}

# Reads the registry back; every check of regcheck counts.
regcheck() {
    local what=$1 out
    out=$(wine ./regcheck.exe "$2" 2>&1 | tr -d '\r')
    local ok bad
    ok=$(grep -c '^ok:' <<<"$out")
    bad=$(grep -c '^FAIL:' <<<"$out")
    passed=$((passed + ok))
    failed=$((failed + bad))
    echo "$what: $ok registry checks passed, $bad failed"
    grep '^FAIL:' <<<"$out"
    if [ $((ok + bad)) -eq 0 ]; then
        fail "$what: regcheck.exe did not run: $out"
    fi
}

# 1. A scenario; the module writes its tree on loading, and the tree stays after the
#    module is unloaded at exit.
if arxhost scenario --script "$CHECKS/scenario.scr" --output scenario.dxf; then
    pass "arxhost.exe runs the scenario"
else
    fail "arxhost.exe on the scenario: $(cat scenario.err)"
fi
regcheck "after the first load" "$MODULE_WIN"

# The same scenario on Linux gives the same transcript and the same drawing (Windows
# ends its lines with CR LF on standard output); both speak Russian in this locale.
LINUX_ARXHOST=${LINUX_ARXHOST:-$ROOT/build/default/bin/arxhost}
if [ ! -x "$LINUX_ARXHOST" ]; then
    (cd "$ROOT" && cmake --preset default >/dev/null &&
        cmake --build --preset default --target arxhost tevcom >/dev/null)
fi
mkdir -p linux
if "$LINUX_ARXHOST" --registry linux/registry.reg --script "$CHECKS/scenario.scr" \
    --output linux/scenario.dxf >linux/scenario.txt 2>linux/scenario.err; then
    if diff <(tr -d '\r' <scenario.txt) linux/scenario.txt >transcript.diff; then
        pass "the scenario's transcript is the same as on Linux"
    else
        fail "the scenario's transcript differs from Linux:"
        cat transcript.diff
    fi
    if diff <(tr -d '\r' <scenario.dxf) <(tr -d '\r' <linux/scenario.dxf) >/dev/null; then
        pass "the scenario's drawing is the same as on Linux"
    else
        fail "the scenario's drawing differs from Linux"
    fi
else
    fail "the Linux arxhost ($LINUX_ARXHOST) on the scenario: $(cat linux/scenario.err)"
fi

# 2. A second load in the same process (unloaded first, then loaded again), and a
#    second process: the same values, nothing duplicated.
printf 'ARX\nUnload\ntevcom.arx\nARX\nLoad\n%s\n' "$MODULE_WIN" >reload.scr
if arxhost reload --lang en --script reload.scr && grep -q 'tevcom.arx successfully unloaded' reload.txt &&
    grep -q 'successfully loaded' reload.txt; then
    pass "ARX unloads and loads the module again"
else
    fail "ARX Unload/Load: $(tr -d '\r' <reload.txt) $(cat reload.err)"
fi
regcheck "after a second load" "$MODULE_WIN"

# 3. Unloading leaves the whole tree.
printf 'ARX\nUnload\ntevcom.arx\n' >unload.scr
if arxhost unload --lang en --script unload.scr && grep -q 'successfully unloaded' unload.txt; then
    pass "ARX unloads the module"
else
    fail "ARX Unload: $(tr -d '\r' <unload.txt) $(cat unload.err)"
fi
regcheck "after unloading" "$MODULE_WIN"

# 4. A module file under another name: "Loader" without "MODULE", everything else.
wine reg delete 'HKLM\Software\TEV soft' /f >/dev/null 2>&1
regcheck "after deleting the tree" none
if arxhost renamed --load "$(winepath -w "$WORK/tevcom2.arx" 2>/dev/null)" --script unload.scr; then
    pass "arxhost.exe loads the module as tevcom2.arx"
else
    fail "arxhost.exe --load tevcom2.arx: $(cat renamed.err)"
fi
regcheck "loaded as tevcom2.arx" -

# 5. Batch mode: each drawing in a process of its own. The good ones give what one run on
#    Linux gives (a name with a space too), a broken one fails with its reason, and nothing
#    but the results is left in the output folder.
mkdir -p batch/in linux
cp "$ROOT/examples/plan.dxf" batch/in/a.dxf
cp "$ROOT/examples/plan.dxf" "batch/in/with space.dxf"
head -c 3000 "$ROOT/examples/plan.dxf" >batch/in/broken.dxf
printf 'LINE\n-500,-500\n-400,-450\n\nQUIT\n' >batch/run.scr
arxhost batch --batch batch/run.scr --output-dir batch/out --jobs 2 batch/in
rc=$?
"$LINUX_ARXHOST" --registry linux/batch.reg --script batch/run.scr --output linux/batch.dxf \
    batch/in/a.dxf >/dev/null 2>&1
if [ "$rc" -eq 1 ] && grep -q 'broken.dxf .*failed .*exit 3' <(tr -d '\r' <batch.txt) &&
    [ "$(ls -A batch/out | tr '\n' '/')" = "a.dxf/with space.dxf/" ] &&
    diff <(tr -d '\r' <batch/out/a.dxf) linux/batch.dxf >/dev/null &&
    diff -q batch/out/a.dxf "batch/out/with space.dxf" >/dev/null; then
    pass "the batch runs each drawing in a process of its own"
else
    fail "the batch (exit $rc): $(tr -d '\r' <batch.txt) $(cat batch.err); $(ls -A batch/out)"
fi

wineserver -k
finish
