#!/usr/bin/env bash
# Builds all three targets and runs every test: the pure logic natively under
# the sanitizers, the Windows programs under Wine with a virtual display, then
# the release zips, each run from an empty folder in a fresh Wine prefix,
# and last a bounded fuzzing run of every parser of outside bytes.
# Installs what it needs first. Usage: scripts/test-all.sh
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== documents: every build/ folder they name is made by a preset or a script"
bash scripts/check-docs.sh

bash scripts/install-deps.sh
. scripts/wine-env.sh
jobs=${CORVANE_JOBS:-2}
screen='-screen 0 1600x1200x24'

echo "== native: pure logic, AddressSanitizer and UBSan"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native

echo "== mingw-i686"
cmake --preset mingw-i686 >/dev/null
if [ "$CORVANE_WINE32" = 1 ]; then
    cmake --build --preset mingw-i686 -j"$jobs"
else
    # This kernel runs no 32-bit programs, so Wine cannot run 32-bit Windows
    # programs here: build the shipped programs only, to prove they compile.
    cmake --build --preset mingw-i686 -j"$jobs" --target corvane velk velkctl velkscope velkpanel
    ctest --preset mingw-i686 -R '^velk_exports$'   # reads the DLL, runs nothing
    echo "note: 32-bit programs cannot run on this kernel; the i686 tests other than velk_exports were not run"
fi

echo "== mingw-x86_64"
cmake --preset mingw-x86_64 >/dev/null
cmake --build --preset mingw-x86_64 -j"$jobs"
corvane_wine_prefix
if [ "$CORVANE_WINE32" = 1 ]; then
    # Lets the bus tests pair a 32-bit client with 64-bit ones (a Windows path).
    export VELKCTL32="Z:$(printf '%s' "$PWD/build/mingw-i686/bin/velkctl.exe" | tr / '\\')"
fi
xvfb-run -a -s "$screen" ctest --preset mingw-x86_64
if [ "$CORVANE_WINE32" = 1 ]; then
    echo "== mingw-i686 tests"
    xvfb-run -a -s "$screen" ctest --preset mingw-i686
fi
wineserver -k 2>/dev/null || true

echo "== release packages: made, unpacked and run in fresh Wine prefixes"
bash scripts/package.sh
xvfb-run -a -s "$screen" bash tests/package/smoke.sh build/packages/*.zip

echo "== fuzzing: every parser of outside bytes, a bounded run each (scripts/fuzz.sh)"
bash scripts/fuzz.sh
