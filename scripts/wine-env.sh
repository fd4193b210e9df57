# Sourced by the scripts that run Windows programs under Wine.
# One prefix for the project; the system code page is 936 (zh_CN) as on the
# Chinese systems the console is made for.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-corvane}"
export WINEARCH=win64
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
# Quiet, except the errors that are the only word about a program never
# started (a command line over 32,767 characters).
export WINEDEBUG="${WINEDEBUG:--all,err+environ}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"   # no Mono or Gecko prompts

# The 32-bit loader needs a kernel that runs 32-bit programs; some kernels
# have that switched off, and then only 64-bit Windows programs can run.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    CORVANE_WINE32=1
    CORVANE_WINE=wine
else
    CORVANE_WINE32=0
    export WINELOADER=/usr/lib/wine/wine64
    CORVANE_WINE=/usr/lib/wine/wine64
fi
export CORVANE_WINE32 CORVANE_WINE

# For the scripts that wait for a Windows program to do something: polls up
# to $1 seconds for the command after it to succeed.
corvane_wait_for() {
    local seconds=$1; shift
    for _ in $(seq $((seconds * 5))); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# Waits until the prefix's registry is on disk, at most a minute. The
# wineserver writes it when the prefix's last program ends and every 30 s
# while programs run; waiting for the programs themselves (wineserver -w)
# would hang while a console or a monitor is open in the prefix.
corvane_wine_registry_written() {
    corvane_wait_for 60 test -f "$WINEPREFIX/system.reg" -a -f "$WINEPREFIX/user.reg" && return 0
    echo "wine-env.sh: $WINEPREFIX has no registry after 60 s" >&2
    return 1
}

# Makes the prefix once. On a virtual display there is no window manager:
# Wine then draws the title bars itself (Managed=N), which also spares every
# window the wait for a manager that never answers. A real desktop keeps its
# manager (CORVANE_WINE_MANAGED=1). A setting takes effect as soon as reg.exe
# returns (the wineserver holds the registry); the file shows it a little
# later, until then it is only set again. Returns at once while programs run
# in the prefix.
corvane_wine_prefix() {
    local ran=0
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$CORVANE_WINE" wineboot -i >/dev/null 2>&1 || true
        corvane_wine_registry_written || return 1
        ran=1
    fi
    local key='HKCU\Software\Wine\X11 Driver'
    if [ "${CORVANE_WINE_MANAGED:-0}" = 1 ]; then
        if grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
            "$CORVANE_WINE" reg delete "$key" /v Managed /f >/dev/null 2>&1 || true
            ran=1
        fi
    elif ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        "$CORVANE_WINE" reg add "$key" /v Managed /d N /f >/dev/null 2>&1 || true
        ran=1
    fi
    # A Wine program run without a display leaves the prefix a desktop without
    # one for as long as its wineserver lingers (a few seconds): a program
    # started under xvfb-run meanwhile cannot make a window. So wait for that
    # wineserver to end, which also puts the setting on disk; at most 10 s,
    # since programs still open in the prefix keep it up.
    if [ $ran = 1 ] && [ -z "${DISPLAY:-}" ]; then
        timeout 10 wineserver -w >/dev/null 2>&1 || true
    fi
}
