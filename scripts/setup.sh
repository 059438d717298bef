#!/bin/bash
# Installs what the build needs on a Debian machine and cross-builds LZO into
# the build tree. Idempotent: when everything is present it only checks.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
DEPS="$BUILD/deps"
mkdir -p "$DEPS"

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# Every package named in scripts/requirements.txt, once each.
mapfile -t PACKAGES < <(grep -v -E '^[[:space:]]*(#|$)' "$ROOT/scripts/requirements.txt" | awk '{print $1}' | awk '!seen[$0]++')

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# LZO 2.10 from Debian's source package, cross-built for i686-w64-mingw32.
# The system's apt configuration carries binary entries only; a private copy
# of those entries switched to source entries is used and nothing of the
# system's configuration is changed.
LZO_PREFIX="$DEPS/lzo"
if [ ! -f "$LZO_PREFIX/lib/liblzo2.a" ]; then
  APT="$DEPS/apt"
  rm -rf "$APT"
  mkdir -p "$APT/lists/partial" "$APT/src"
  : > "$APT/sources.list"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$APT/sources.list"
  done
  i=0
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    i=$((i + 1))
    sed 's/^Types:.*$/Types: deb-src/' "$f" > "$APT/src/$i.sources"
  done
  APTOPTS=(-o "Dir::Etc::SourceList=$APT/sources.list" -o "Dir::Etc::SourceParts=$APT/src"
           -o "Dir::State::Lists=$APT/lists" -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")
  # A source entry whose mirror offers no sources must not stop the others.
  apt-get "${APTOPTS[@]}" update -qq || true
  mkdir -p "$DEPS/lzo-src"
  (cd "$DEPS/lzo-src" && apt-get "${APTOPTS[@]}" source --download-only -qq lzo2)
  orig="$(ls "$DEPS"/lzo-src/lzo2_2.10.orig.tar.* | head -n1)"
  rm -rf "$DEPS/lzo-build" && mkdir -p "$DEPS/lzo-build"
  tar -xf "$orig" -C "$DEPS/lzo-build" --strip-components=1
  (cd "$DEPS/lzo-build" &&
   ./configure -q --host=i686-w64-mingw32 --prefix="$LZO_PREFIX" \
      --disable-shared --enable-static CC=i686-w64-mingw32-gcc-posix CFLAGS="-O2" >/dev/null &&
   make -s -j"$(nproc)" >/dev/null 2>&1 && make -s install >/dev/null)
  rm -rf "$DEPS/lzo-build"
  echo "setup: LZO cross-built into $LZO_PREFIX"
fi

# Everything the build and the tests look up outside the tree must now be there.
"$ROOT/scripts/check-env.sh"
