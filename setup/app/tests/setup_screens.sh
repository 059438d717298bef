#!/bin/bash
# Screenshots of every page and closing box of the installer in both languages, for a person to look
# at: run under scripts/with-display with the end-to-end folder and an output folder. Installs into the
# private prefix and uninstalls again. The worker pauses between steps (VEXLIN_SETUP_STEP_PAUSE) so the
# progress pages stay up long enough to be seen.
set -u
E2E="$1"
OUT="$2"
ROOT="$(cd "$(dirname "$0")/../../.." && pwd)"
source "$ROOT/scripts/wine-env.sh"
mkdir -p "$OUT"
D() { wine "$E2E/setup_driver.exe" "$@" >/dev/null; }
shot() { sleep 0.7; import -window root -crop 540x420+242+174 "$OUT/$1.png"; echo "setup-screens: $OUT/$1.png"; }
DEVICE="$OUT/device"
run() { # language caption device
  local lang="$1" title="$2"
  rm -rf "$DEVICE"
  D reset
  unset VEXLIN_DEVICE_DIR VEXLIN_DEVICE_PROCESSOR
  export VEXLIN_SETUP_STEP_PAUSE=1500
  # Desktop only: the no-device page, progress 109, the success box.
  wine "$E2E/VexlinSetup.exe" & D wait "Vexlin Setup" 20000
  if [ "$lang" = eo ]; then D click "Vexlin Setup" 45 212 wait "$title" 5000; fi
  shot "$lang-1-language-nodevice"
  D click "$title" 398 325; shot "$lang-2-progress-one"
  D wait "$title" 30000 sleep 6000; shot "$lang-3-success"
  D close "$title"; wait
  D uninstall yes,ok
  # A device: the target page, progress 111, the stop question, the failure box.
  mkdir -p "$DEVICE"; export VEXLIN_DEVICE_DIR="Z:$(echo "$DEVICE" | sed 's|/|\\|g')"
  wine "$E2E/VexlinSetup.exe" & D wait "Vexlin Setup" 20000
  if [ "$lang" = eo ]; then D click "Vexlin Setup" 45 212 wait "$title" 5000; fi
  shot "$lang-4-language-target"
  D click "$title" 252 128 sleep 300 click "$title" 398 325; shot "$lang-5-progress-both"
  D close "$title"; shot "$lang-6-ask-stop"
  D char "$title" 13 sleep 8000; shot "$lang-7-failure-stopped"
  D close "$title"; wait
  D uninstall yes,ok
}
run en "Vexlin Setup"
# Each uninstall takes the stored language choice with it: the Esperanto run picks it on each start.
run eo "Instalilo de Vexlin"
D reset
