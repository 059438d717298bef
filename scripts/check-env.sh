#!/bin/bash
# Checks that everything the build and the tests look up outside the tree is present, and names the Debian
# package of each thing that is missing (the table is scripts/requirements.txt). Run right after set-up, so
# that a package that set-up forgot fails here with its name instead of deep inside a build.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"

missing=0
report() { echo "check-env: missing $1 (Debian package $2; add it to scripts/requirements.txt and run scripts/setup.sh)" >&2; missing=$((missing + 1)); }

while read -r package kind name rest; do
  case "$package" in ''|'#'*) continue ;; esac
  if [ -n "${rest:-}" ] || [ -z "${name:-}" ]; then
    echo "check-env: bad line in scripts/requirements.txt: $package $kind $name $rest" >&2
    missing=$((missing + 1))
    continue
  fi
  case "$kind" in
    program) command -v "$name" >/dev/null 2>&1 || report "program $name" "$package" ;;
    file) [ -f "$name" ] || report "file $name" "$package" ;;
    pkgconfig) pkg-config --exists "$name" 2>/dev/null || report "pkg-config module $name" "$package" ;;
    *) echo "check-env: unknown kind '$kind' for $package in scripts/requirements.txt" >&2; missing=$((missing + 1)) ;;
  esac
done < "$ROOT/scripts/requirements.txt"

# Not a package: set-up cross-builds LZO from Debian's source package into the build tree.
if [ ! -f "$BUILD/deps/lzo/lib/liblzo2.a" ] || [ ! -f "$BUILD/deps/lzo/include/lzo/lzo1x.h" ]; then
  echo "check-env: missing the cross-built LZO in the build tree (scripts/setup.sh builds it from Debian's lzo2 source package)" >&2
  missing=$((missing + 1))
fi

if [ "$missing" -gt 0 ]; then
  echo "check-env: $missing thing(s) missing" >&2
  exit 1
fi
echo "check-env: everything the build and the tests need is present"
