#!/bin/bash
# `make run-setup`: builds VexlinSetup.exe and starts it under Wine in the build tree's private prefix,
# from build/run-setup. DEVICE=1 attaches an emulated palm-size PC: the device emulator (rapi.dll) is
# placed beside the installer and its device is the folder build/run-setup/device (the shipped installer
# carries no emulator). Without a display the installer runs on a private Xvfb, a scripted person clicks
# through the pages (Esperanto, English again, Install, the closing box) and a screenshot of each step
# goes to build/run-setup/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/scripts/setup.sh"
HOST="$ROOT/build/host"
OUT="$ROOT/build/target"
cmake -S "$ROOT/tools" -B "$HOST" >/dev/null
cmake --build "$HOST" -j"$(nproc)"
cmake -S "$ROOT" -B "$OUT" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DVEXLIN_HOST_TOOLS="$HOST" >/dev/null
cmake --build "$OUT" -j"$(nproc)" --target VexlinSetup rapi_emulator setup_driver

RUN="$ROOT/build/run-setup"
mkdir -p "$RUN"
cp "$OUT/setup/app/VexlinSetup.exe" "$RUN/"
rm -f "$RUN/rapi.dll"
if [ "${DEVICE:-0}" = "1" ]; then
  cp "$OUT/device/rapi.dll" "$RUN/"
  mkdir -p "$RUN/device"
  export VEXLIN_DEVICE_DIR="Z:$(echo "$RUN/device" | sed 's|/|\\|g')"
  echo "run-setup: emulated device in $RUN/device"
fi

if [ -n "${DISPLAY:-}" ]; then
  # The prefix keeps the installer's windows away from a window manager, because the test display has
  # none. A person's display has one: for this run the installer's windows are managed as usual
  # (a taskbar entry, focus), and the test setting comes back afterwards.
  source "$ROOT/scripts/wine-env.sh"
  "$ROOT/scripts/wine-prefix.sh"
  UNMANAGED_KEY='HKCU\Software\Wine\AppDefaults\VexlinSetup.exe\X11 Driver'
  wine reg delete "$UNMANAGED_KEY" /v Managed /f >/dev/null 2>&1 || true
  trap 'wine reg add "$UNMANAGED_KEY" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true' EXIT
  "$ROOT/scripts/with-display" wine "$RUN/VexlinSetup.exe"
  exit 0
fi

DRIVER="$OUT/setup/app/tests/e2e/setup_driver.exe"
export RUN DRIVER
"$ROOT/scripts/with-display" bash -c '
  shot() { sleep 1; import -window root "$RUN/$1.png"; echo "run-setup: $RUN/$1.png"; }
  wine "$RUN/VexlinSetup.exe" &
  wine "$DRIVER" wait "Vexlin Setup" 20000 >/dev/null
  shot 1-pages
  wine "$DRIVER" click "Vexlin Setup" 45 212 wait "Instalilo de Vexlin" 5000 >/dev/null
  shot 2-pages-esperanto
  wine "$DRIVER" click "Instalilo de Vexlin" 45 187 wait "Vexlin Setup" 5000 >/dev/null
  wine "$DRIVER" click "Vexlin Setup" 398 325 >/dev/null
  import -window root "$RUN/3-progress.png"; echo "run-setup: $RUN/3-progress.png"
  sleep 3; shot 4-closing-box
  wine "$DRIVER" sleep 500 close "Vexlin Setup" >/dev/null
  wait || true
'
