# Sourced by the scripts that run Windows programs: the build tree's private
# Wine prefix, quiet, without offers to install extra runtimes.
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${VEXLIN_WINEPREFIX:-$ROOT/build/wine}"
export WINEARCH=win32
export WINEDEBUG=-all
# Wine's menu builder stays off, so shortcuts made under test never reach the desktop's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
