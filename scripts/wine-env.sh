# Sourced by the scripts that run Windows programs: the build tree's private
# Wine prefix, quiet, without offers to install extra runtimes.
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${VEXLIN_WINEPREFIX:-$ROOT/build/wine}"
export WINEARCH=win32
export WINEDEBUG=-all
# The menu and file-association builder is off, so that the prefix never
# writes menu entries or associations outside the build tree.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
