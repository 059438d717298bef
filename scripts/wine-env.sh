# Sourced by the scripts that run Windows programs: the build tree's private
# Wine prefix, quiet, without offers to install extra runtimes.
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${VEXLIN_WINEPREFIX:-$ROOT/build/wine}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
