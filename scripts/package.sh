#!/usr/bin/env bash
# Builds the release configuration of both widths from the checked-out commit
# and writes build/packages/corvane-<version>-win32.zip, ...-win64.zip and
# SHA256SUMS. Byte for byte the same from any clone of the same commit
# (docs/release.md). Installs what it needs first. Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
command -v git >/dev/null || { echo "package.sh: git is needed to name the version" >&2; exit 1; }
git rev-parse --verify -q HEAD >/dev/null 2>&1 || { echo "package.sh: $PWD is not a git checkout with a commit; the version names one" >&2; exit 1; }
jobs=${CORVANE_JOBS:-2}

# The version is set once, in CMakeLists.txt's project().
version=$(sed -n 's/^project(corvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no project(corvane VERSION ...) in CMakeLists.txt" >&2; exit 1; }
suffix=
if ! git describe --exact-match --tags --match "v$version" HEAD >/dev/null 2>&1; then
    suffix="-g$(git rev-parse HEAD | cut -c1-7)"   # a fixed length, whatever the clone holds
fi
if [ -n "$(git status --porcelain)" ]; then
    suffix="$suffix-dirty"
    echo "package.sh: warning: the work tree has changes that are not committed: the version is" \
         "$version$suffix and the packages are not reproducible from any commit" >&2
fi

# GCC takes __DATE__ (the build date velk.dll reports) from this, in UTC.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
export SOURCE_DATE_EPOCH TZ=UTC

out=build/packages
rm -rf "$out"
mkdir -p "$out"

# The velk Python package: a platform wheel per width carrying that width's
# velkctl.exe and velk.dll (scripts/build-wheel.sh), its version the
# release's in Python's form (1.0.0, 1.0.0+g1234567, 1.0.0+g1234567.dirty).
python_version=$version
[ -z "$suffix" ] || python_version="$version+$(printf '%s' "${suffix#-}" | tr - .)"
for width in i686 x86_64; do
    preset=release-$width
    platform=$([ "$width" = i686 ] && echo win32 || echo win_amd64)
    wheel=$PWD/build/wheel/$width/velk-$python_version-py3-none-$platform.whl
    echo "== $preset"
    cmake --preset "$preset" -DCORVANE_VERSION_SUFFIX="$suffix" -DCORVANE_WHEEL="$wheel" >/dev/null
    # From scratch: objects built before with another SOURCE_DATE_EPOCH would stay.
    cmake --build --preset "$preset" -j"$jobs" --clean-first
    built=$(bash scripts/build-wheel.sh "build/$preset/bin" "$platform" "$python_version" "$(dirname "$wheel")")
    [ "$built" = "$wheel" ] || { echo "package.sh: the wheel is $built, expected $wheel" >&2; exit 1; }
    rm -rf "build/$preset/cpack"
    (cd "build/$preset" && cpack -G ZIP >/dev/null)
    # CPack 3.25 adds the files in the file system's order: fix it and the times.
    for zip in "build/$preset"/cpack/corvane-*.zip; do
        /usr/bin/python3 scripts/repack-zip.py "$zip" "$out/$(basename "$zip")"
    done
done
(cd "$out" && sha256sum -- *.zip > SHA256SUMS)
cat "$out/SHA256SUMS"
