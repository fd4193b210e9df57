#!/usr/bin/env bash
# Runs one Windows program under Wine (the CMake cross-compiling emulator).
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
corvane_wine_prefix
exec "$CORVANE_WINE" "$@"
