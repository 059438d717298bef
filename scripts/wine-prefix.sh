#!/bin/bash
# Creates the private Wine prefix once; later calls only check it.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
if [ -f "$WINEPREFIX/.vexlin-ready" ]; then exit 0; fi
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
echo "wine-prefix: creating $WINEPREFIX"
wineboot -i >/dev/null 2>&1
# A crash must fail a test at once, not wait for someone to close a dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.vexlin-ready"
