#!/usr/bin/env bash
# Installs everything corvane needs to build and run on a Debian machine:
# the MinGW-w64 cross compilers, Wine (32- and 64-bit), Xvfb, a CJK font,
# the zh_CN.UTF-8 locale (system code page 936 under Wine), GoogleTest, the
# header-only CLI11 and toml++ (the signal file), zlib (compressed
# recordings: natively, and for both Windows widths, linked statically into
# the programs), and the Mosquitto broker
# and clients the bridge tests start themselves (the package's own service
# is never used: no systemd here, and the tests want a broker of their own
# on a free port), and headless Chromium for the HTML reports.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++ >/dev/null || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++ >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
command -v xvfb-run >/dev/null || need+=(xvfb xauth)
command -v wine >/dev/null || need+=(wine wine64 wine32:i386)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
[ -d /usr/src/googletest ] || need+=(googletest)
[ -f /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
[ -f /usr/include/toml++/toml.h ] || need+=(libtomlplusplus-dev)
[ -f /usr/include/zlib.h ] || need+=(zlib1g-dev)
[ -f /usr/x86_64-w64-mingw32/lib/libz.a ] && [ -f /usr/i686-w64-mingw32/lib/libz.a ] || need+=(libz-mingw-w64-dev)
fc-list 2>/dev/null | grep -qi 'wenquanyi zen hei' || need+=(fonts-wqy-zenhei fontconfig)
locale -a 2>/dev/null | grep -qi 'zh_CN.utf8' || need+=(locales)
dpkg -s imagemagick >/dev/null 2>&1 || need+=(imagemagick)
command -v xdotool >/dev/null || need+=(xdotool)
command -v python3 >/dev/null || need+=(python3)     # scripts/package.sh
command -v git >/dev/null || need+=(git)
command -v clang++ >/dev/null || need+=(clang)     # scripts/fuzz.sh: libFuzzer
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
# The velk Python package: its tests, and its wheel built offline (python/).
dpkg -s python3-pytest >/dev/null 2>&1 || need+=(python3-pytest)
dpkg -s python3-setuptools >/dev/null 2>&1 || need+=(python3-setuptools)
dpkg -s python3-wheel >/dev/null 2>&1 || need+=(python3-wheel)
dpkg -s python3-pip >/dev/null 2>&1 || need+=(python3-pip)
# The reference decoder the DBC import is checked against (tests/velkctl/dbc_reference.py).
dpkg -s python3-canmatrix >/dev/null 2>&1 || need+=(python3-canmatrix)
command -v mosquitto >/dev/null || [ -x /usr/sbin/mosquitto ] || need+=(mosquitto)
command -v mosquitto_sub >/dev/null || need+=(mosquitto-clients)
# Headless Chromium: the HTML reports are checked in a real browser
# (tests/browser/render_check.py) and the docs' screenshots come from it.
[ -x /usr/bin/chromium ] || need+=(chromium)

if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    # A mirror caught mid-sync fails an index now and then: try again a few
    # times, then go on with what did download (install names what is missing).
    for attempt in 1 2 3 4; do
        apt-get update -qq && break
        echo "install-deps: apt-get update failed (attempt $attempt of 4)" >&2
        [ "$attempt" = 4 ] || sleep 15
    done
    # With one architecture's index missing, a library both need can be
    # newer for amd64 than for i386, and apt gives up; the release's own
    # versions exist for both.
    if ! apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null; then
        release=$(. /etc/os-release && echo "$VERSION_CODENAME")
        echo "install-deps: installing again from $release alone" >&2
        apt-get install -y -qq --no-install-recommends -t "$release" "${need[@]}" >/dev/null
    fi
fi

if ! locale -a 2>/dev/null | grep -qi 'zh_CN.utf8'; then
    sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
