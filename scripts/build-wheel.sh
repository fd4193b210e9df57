#!/usr/bin/env bash
# The velk Python package as a platform wheel that carries velkctl.exe and
# velk.dll of one width in velk/bin/, so that pip install alone is enough on
# Windows. Built offline with Debian's pip, setuptools and wheel from a copy
# of python/'s package files, so nothing is written into python/; the wheel
# stamps its entries with SOURCE_DATE_EPOCH when it is set (package.sh) and
# keeps the modes of the files, fixed here to 644 whatever the umask.
# Usage: scripts/build-wheel.sh BIN_DIR PLATFORM VERSION OUT_DIR
#   BIN_DIR   holds velkctl.exe and velk.dll (build/release-x86_64/bin)
#   PLATFORM  win_amd64 or win32
#   VERSION   the release's version in Python's form (1.0.0, 1.0.0+g1234567)
# Prints the wheel's path.
set -euo pipefail
[ $# = 4 ] || { echo "usage: build-wheel.sh BIN_DIR PLATFORM VERSION OUT_DIR" >&2; exit 2; }
bin=$1 platform=$2 version=$3 out=$4
source=$(cd "$(dirname "$0")/../python" && pwd)
case "$platform" in
    win_amd64|win32) ;;
    *) echo "build-wheel.sh: PLATFORM is win_amd64 or win32, not '$platform'" >&2; exit 2 ;;
esac
for program in velkctl.exe velk.dll; do
    [ -f "$bin/$program" ] || { echo "build-wheel.sh: no $program in $bin: build it first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/velk-wheel-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/velk/bin" "$out"
cp "$source"/setup.py "$source"/setup.cfg "$source"/pyproject.toml "$source"/README.md "$work/"
cp "$source"/velk/*.py "$work/velk/"
cp "$bin/velkctl.exe" "$bin/velk.dll" "$work/velk/bin/"
# The release's version, and the platform the programs are for.
sed -i "s/^__version__ = \".*\"$/__version__ = \"$version\"/" "$work/velk/__init__.py"
grep -qx "__version__ = \"$version\"" "$work/velk/__init__.py" \
    || { echo "build-wheel.sh: velk/__init__.py has no __version__ line to set" >&2; exit 1; }
printf '\n[bdist_wheel]\nplat_name = %s\n' "$platform" >> "$work/setup.cfg"
find "$work" -type d -exec chmod 755 {} +
find "$work" -type f -exec chmod 644 {} +

rm -f "$out"/velk-*-"$platform".whl
(umask 022 && cd "$work" && PIP_DISABLE_PIP_VERSION_CHECK=1 /usr/bin/python3 -m pip wheel -q --no-index \
    --no-build-isolation --no-deps --no-cache-dir -w "$out" . >&2)
wheels=("$out"/velk-*-py3-none-"$platform".whl)
[ ${#wheels[@]} = 1 ] && [ -f "${wheels[0]}" ] || { echo "build-wheel.sh: expected one velk wheel for $platform in $out" >&2; exit 1; }
echo "${wheels[0]}"
