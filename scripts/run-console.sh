#!/usr/bin/env bash
# Builds corvane.exe with the reference bus library velk.dll beside it and runs
# it under Wine. Without a display it starts a virtual one, takes a screenshot
# of the console after a few seconds, saves it to the file it names, and ends.
# Usage: scripts/run-console.sh [screenshot.png]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-corvane-run}"   # its own, apart from the tests'
. scripts/wine-env.sh
if [ "${CORVANE_ARCH:-}" = i686 ] && [ "$CORVANE_WINE32" = 1 ]; then preset=mingw-i686; else preset=mingw-x86_64; fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 --target corvane velk velkctl
exe="build/$preset/bin/corvane.exe"

if [ -n "${DISPLAY:-}" ]; then
    CORVANE_WINE_MANAGED=1 corvane_wine_prefix
    exec "$CORVANE_WINE" "$exe"
fi

corvane_wine_prefix
shot=$(realpath -m "${1:-build/corvane-screenshot.png}")
xvfb-run -a -s '-screen 0 1600x1200x24' bash -c '
    "$CORVANE_WINE" "$1" &
    pid=$!
    sleep "${CORVANE_SHOT_DELAY:-6}"
    import -window root "$2"
    kill $pid 2>/dev/null || true
    wineserver -k 2>/dev/null || true
' run-console "$exe" "$shot"
echo "No display: the console ran on a virtual one; screenshot saved to $shot"
