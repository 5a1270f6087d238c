# Shared environment of the project's scripts: caches outside the tree, Wine settings.
# Sourced, not run.
LUMO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LUMO_CACHE=${LUMO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lumo}
LUMO_THIRDPARTY=${LUMO_THIRDPARTY:-$LUMO_CACHE/thirdparty}
LUMO_BUILD=${LUMO_BUILD:-$LUMO_ROOT/build}
# One Wine prefix per checkout: test runs of two checkouts never share (or kill) a wineserver.
export WINEPREFIX=${LUMO_WINEPREFIX:-$LUMO_CACHE/wineprefix-$(printf '%s' "$LUMO_ROOT" | md5sum | cut -c1-12)}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer may ever be offered: the embedded browser and .NET are not used here.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if command -v wine64 >/dev/null 2>&1; then LUMO_WINE=$(command -v wine64)
else LUMO_WINE=/usr/lib/wine/wine64; fi
if command -v wineserver >/dev/null 2>&1; then LUMO_WINESERVER=$(command -v wineserver)
else LUMO_WINESERVER=/usr/lib/wine/wineserver; fi
# Debian's own interpreter: test peers use its standard library only.
LUMO_PYTHON=/usr/bin/python3
export LUMO_ROOT LUMO_CACHE LUMO_THIRDPARTY LUMO_BUILD LUMO_WINE LUMO_WINESERVER LUMO_PYTHON
