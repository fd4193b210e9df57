"""Off Windows a Windows program runs through Wine. Which loader: the one an
environment variable names, else the first that runs here. Debian's `wine`
picks the 32-bit loader whenever wine32 is installed, and a kernel with
32-bit execution switched off refuses it ("Exec format error"): then only
the 64-bit loader runs."""

import os
import shutil
import subprocess

from velk._text import say
from velk.errors import VelkError

# Looked at in this order: the package's own, then what scripts/wine-env.sh
# and Wine itself set.
NAMED_BY = ("VELK_WINE", "CORVANE_WINE", "WINELOADER")
CANDIDATES = ("wine", "/usr/lib/wine/wine64", "wine64")

_picked = {}   # by candidates: each is tried once a process


def runs(loader):
    """Whether `loader --version` starts and ends with 0."""
    try:
        return subprocess.run([loader, "--version"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except (OSError, subprocess.SubprocessError):   # ENOEXEC, missing, hung
        return False


def pick_loader(candidates=CANDIDATES):
    """The first of candidates (names on PATH or paths) that runs, or None."""
    key = tuple(candidates)
    if key not in _picked:
        found = (shutil.which(candidate) for candidate in candidates)
        _picked[key] = next((loader for loader in found if loader and runs(loader)), None)
    return _picked[key]


def wine_loader(environ=None, candidates=CANDIDATES):
    """The loader: the first of VELK_WINE, CORVANE_WINE, WINELOADER set,
    else the first of candidates that runs. VelkError when there is none."""
    environ = os.environ if environ is None else environ
    for name in NAMED_BY:
        if environ.get(name):
            found = shutil.which(environ[name])
            if found is None:
                raise VelkError(say("%s names %s, which is not a program here", name, environ[name]))
            return found
    picked = pick_loader(candidates)
    if picked is None:
        raise VelkError(say("a Windows program needs Wine here, and none of %s runs (VELK_WINE names the loader)",
                            ", ".join(candidates)))
    return picked


def wine_environ(loader, environ):
    """environ for a program run by loader: a 64-bit loader run directly is
    named in WINELOADER, as Debian's wine does, for the processes Wine starts
    (replacing one the caller's environment names: one loader for all)."""
    environ = dict(environ)
    if os.path.basename(loader).endswith("64"):
        environ["WINELOADER"] = loader
    return environ


def windows_command(program, environ=None):
    """(command, environ) to run a Windows program with its arguments after it."""
    environ = os.environ if environ is None else environ
    if os.name == "nt":
        return [program], dict(environ)
    loader = wine_loader(environ)
    return [loader, program], wine_environ(loader, environ)
