#!/bin/bash
# Creates the private Wine prefix once; later calls only check it.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
# Settings added after a prefix was made are applied to it once, each with its own mark.
UNMANAGED_MARK="$WINEPREFIX/.vexlin-installer-unmanaged"
if [ -f "$WINEPREFIX/.vexlin-ready" ] && [ -f "$UNMANAGED_MARK" ]; then exit 0; fi
if [ ! -f "$WINEPREFIX/.vexlin-ready" ]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  echo "wine-prefix: creating $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # A crash must fail a test at once, not wait for someone to close a dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.vexlin-ready"
fi
# The test display runs no window manager. Wine hands an activated top-level window to the window manager
# and, before hiding it again, waits up to two seconds for the manager to have taken it, which never
# happens here: every closed installer window (the frame at the end of its run, each message box) stalled
# for two seconds. The installer draws its whole windows itself, so Wine keeps its windows to itself.
if [ ! -f "$UNMANAGED_MARK" ]; then
  wine reg add 'HKCU\Software\Wine\AppDefaults\VexlinSetup.exe\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1
  wineserver -w
  touch "$UNMANAGED_MARK"
fi
