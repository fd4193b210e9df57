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

# Makes the prefix once. On a virtual display there is no window manager:
# Wine then draws the title bars itself (Managed=N), which also spares every
# window the wait for a manager that never answers. A real desktop keeps its
# manager (CORVANE_WINE_MANAGED=1).
corvane_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$CORVANE_WINE" wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    local key='HKCU\Software\Wine\X11 Driver'
    if [ "${CORVANE_WINE_MANAGED:-0}" = 1 ]; then
        if grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
            "$CORVANE_WINE" reg delete "$key" /v Managed /f >/dev/null 2>&1 || true
            wineserver -w
        fi
    elif ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        "$CORVANE_WINE" reg add "$key" /v Managed /d N /f >/dev/null 2>&1 || true
        wineserver -w
    fi
}
