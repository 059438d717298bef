#!/bin/bash
# One end-to-end scenario of the installer: VexlinSetup.exe started under Wine, driven by posted clicks
# (setup_driver.exe), judged by what it left: files, shortcut, registry, its trace of pages and closing
# texts, and the uninstall. Usage: setup_e2e.sh SCENARIO E2E_FOLDER WORK_FOLDER HAS_GAME GAME_EXE
# Window points: the frame is 480 x 360, its artwork's size.
set -u
# The scenario writes to a file, and its reader gets the file afterwards: a Wine helper process started
# on the way (they can outlive the scenario) would otherwise keep the reader's pipe open until its
# time-out.
if [ -z "${SETUP_E2E_TO_FILE:-}" ]; then
  output="$(mktemp)"
  SETUP_E2E_TO_FILE=1 bash "$0" "$@" >"$output" 2>&1 </dev/null
  status=$?
  cat "$output"
  rm -f "$output"
  exit $status
fi
SCENARIO="$1"
E2E="$2"
WORK="$3"
HAS_GAME="${4:-OFF}"
GAME_EXE="${5:-}"
ROOT="$(cd "$(dirname "$0")/../../.." && pwd)"
source "$ROOT/scripts/wine-env.sh"

TITLE="Vexlin Setup"
INSTALL=(398 325)
RESCAN=(290 325)
ENGLISH=(45 187)
ESPERANTO=(45 212)
TARGET_DESKTOP=(252 102)
TARGET_BOTH=(252 128)
TARGET_DEVICE=(252 154)
LOG='%PF%\Tessel Software\Uninstall Log for Vexlin.txt'
UNINSTALL_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\Vexlin'

rm -rf "$WORK"
mkdir -p "$WORK"
TRACE="$WORK/trace.txt"
windows_path() { echo "Z:$(echo "$1" | sed 's|/|\\|g')"; }
export VEXLIN_SETUP_TRACE="$(windows_path "$TRACE")"
DEVICE="$WORK/device"
unset VEXLIN_DEVICE_DIR VEXLIN_DEVICE_PROCESSOR

fail() {
  echo "FAILED: $*"
  [ -f "$TRACE" ] && sed 's/^/  trace: /' "$TRACE"
  [ -n "${SETUP_PID:-}" ] && kill "$SETUP_PID" 2>/dev/null
  exit 1
}
drive() { wine "$E2E/setup_driver.exe" "$@" | tr -d '\r' | tee -a "$WORK/driver.txt" | grep -q "driver: done" || fail "driver $*: $(tail -1 "$WORK/driver.txt")"; }
# The trace grows over the rounds of a scenario: a round's closing box is the first "setup: message" line
# after those of the rounds before it.
messages_traced() {
  local count
  count=$(grep -c "setup: message" "$TRACE" 2>/dev/null)
  echo "${count:-0}"
}
start_setup() {
  MESSAGES_BEFORE=$(messages_traced)
  wine "$E2E/VexlinSetup.exe" &
  SETUP_PID=$!
  drive wait "$TITLE" 20000
}
# Waits for the installer to end (its closing box answered by the caller).
finish_setup() {
  for _ in $(seq 300); do kill -0 "$SETUP_PID" 2>/dev/null || { SETUP_PID=""; return 0; }; sleep 0.1; done
  fail "the installer did not end"
}
# The frame's modal run ends within a frame or two of its end (the worker's result or the close box): the
# trace's milliseconds from the last end to the last "frame closed" stay far below a stall of seconds.
FRAME_CLOSE_LIMIT_MS=1500
expect_prompt_close() {
  local ended closed
  ended=$(grep -E "setup: (result|closed)" "$TRACE" | tail -1 | awk '{print $1}')
  closed=$(grep "setup: frame closed" "$TRACE" | tail -1 | awk '{print $1}')
  [ -n "$ended" ] && [ -n "$closed" ] || fail "the trace lacks the frame's end or its close"
  [ $((closed - ended)) -le $FRAME_CLOSE_LIMIT_MS ] ||
    fail "the frame's modal run ended $((closed - ended)) ms after the frame was closed"
}
traced() { grep -q -- "$1" "$TRACE" || fail "trace lacks \"$1\""; }
not_traced() { ! grep -q -- "$1" "$TRACE" || fail "trace holds \"$1\""; }
wait_traced() {
  for _ in $(seq 600); do grep -q -- "$1" "$TRACE" 2>/dev/null && return 0; sleep 0.1; done
  fail "trace never showed \"$1\""
}
# The success or failure box has a close box; closing it ends the installer.
close_box() {
  for _ in $(seq 600); do [ "$(messages_traced)" -gt "${MESSAGES_BEFORE:-0}" ] && break; sleep 0.1; done
  [ "$(messages_traced)" -gt "${MESSAGES_BEFORE:-0}" ] || fail "trace never showed the closing box"
  expect_prompt_close
  drive sleep 300 close "${1:-$TITLE}"
  finish_setup
}
expect_installed() {
  drive file '%PF%\Vexlin\vexlin.exe' lnk key HKLM "$UNINSTALL_KEY" file "$LOG" file '%PF%\Tessel Software\remora.dll'
  if [ -n "$GAME_EXE" ]; then
    cmp -s "$GAME_EXE" "$WINEPREFIX/drive_c/Program Files/Vexlin/vexlin.exe" || fail "installed game differs"
  fi
}
expect_removed() {
  drive nofile '%PF%\Vexlin\vexlin.exe' nofile '%PF%\Vexlin' nolnk nokey HKLM "$UNINSTALL_KEY" nofile "$LOG" \
    nokey HKCU 'Software\Tessel\Vexlin'
}
uninstall() { drive uninstall "yes,ok"; expect_removed; }
device_file() { [ -f "$DEVICE/Program Files/Vexlin/vexlin.exe" ]; }
# The payload's ARM build (the desktop build standing in for it) and its uninstaller: what the device gets.
PAYLOAD_ARM="$E2E/../arm"
DEVICE_FILES=("Program Files/Vexlin/vexlin.exe" "Program Files/Tessel Software/remora.dll")
# A device folder made by the emulator's tool, which keeps each compressed transfer aside for a look.
make_device() {
  wine "$E2E/devicetool.exe" create "$(windows_path "$DEVICE")" --keep-transfers "$@" >>"$WORK/devicetool.txt" 2>&1 \
    || fail "devicetool create $*"
}
# Every device file is the payload's, byte for byte; and no compressed file is left in the device's root.
expect_device_files() {
  for file in "${DEVICE_FILES[@]}"; do
    [ -f "$DEVICE/$file" ] || fail "no $file on the device"
    cmp -s "$PAYLOAD_ARM/$(basename "$file")" "$DEVICE/$file" || fail "$file on the device differs from the payload's"
  done
  ! ls "$DEVICE" | grep -q "This File Is Safe To Delete" || fail "a compressed transfer was left in the device's root"
}
# With the decompressor: each file travelled compressed (size-prefixed LZO, the header naming the file's
# size, smaller than the file) and our own decoder expands what travelled into the payload's bytes.
expect_compressed() {
  expect_device_files
  for file in "${DEVICE_FILES[@]}"; do
    local source="$PAYLOAD_ARM/$(basename "$file")" kept="$DEVICE/\$transfers/$file"
    [ -f "$kept" ] || fail "$file did not travel compressed"
    local size packed header
    size=$(stat -c %s "$source")
    packed=$(stat -c %s "$kept")
    header=$(od -An -tu4 -N4 "$kept" | tr -d ' ')
    [ "$header" = "$size" ] || fail "$file travelled with the size $header in its header, not $size"
    [ "$packed" -lt "$size" ] || fail "$file travelled in $packed bytes, no fewer than its $size"
    rm -f "$WORK/expanded"
    wine "$E2E/devicetool.exe" expand "$(windows_path "$kept")" "$(windows_path "$WORK/expanded")" \
      >>"$WORK/devicetool.txt" 2>&1 || fail "what travelled for $file does not expand"
    cmp -s "$source" "$WORK/expanded" || fail "what travelled for $file expands into other bytes"
  done
}
# Without the decompressor every file arrives plainly: nothing went through the decompressor.
expect_plain() {
  expect_device_files
  [ ! -e "$DEVICE/\$transfers" ] || fail "a file travelled compressed to a device without the decompressor"
}

drive reset
case "$SCENARIO" in
no_device)
  # No device: the no-device page, a desktop installation on dialog 109, the success box; then the
  # uninstall string removes everything.
  start_setup
  traced "page 103"; traced "page 107"; not_traced "page 105"
  drive click "$TITLE" "${INSTALL[@]}"
  close_box
  traced "install target 0"; traced "page 109"; traced "message success"
  expect_installed
  uninstall
  ;;
rescan_both)
  # The device appears after start-up: Rescan finds it and shows the target page with "both" checked;
  # both targets install with dialog 111. The device has no decompressor: its files arrive plainly, byte
  # for byte.
  export VEXLIN_DEVICE_DIR="$(windows_path "$DEVICE")"
  start_setup
  traced "page 107"
  make_device --no-decompressor
  drive click "$TITLE" "${RESCAN[@]}"
  wait_traced "page 105"
  traced "rescan 1"
  drive click "$TITLE" "${INSTALL[@]}"
  close_box
  traced "install target 1"; traced "page 111"; traced "message success"
  expect_installed
  device_file || fail "no game on the device"
  [ -z "$GAME_EXE" ] || cmp -s "$GAME_EXE" "$DEVICE/Program Files/Vexlin/vexlin.exe" || fail "device copy differs"
  expect_plain
  uninstall
  ;;
device_only)
  # A device at start-up: the target page; "palm-size PC" alone installs only there, on dialog 109. The
  # device has the decompressor, so the files travel compressed and are expanded there.
  make_device --decompressor 1
  export VEXLIN_DEVICE_DIR="$(windows_path "$DEVICE")"
  start_setup
  traced "page 105"
  drive click "$TITLE" "${TARGET_DEVICE[@]}"
  wait_traced "target 2"
  drive click "$TITLE" "${INSTALL[@]}"
  close_box
  traced "install target 2"; traced "page 109"; traced "message success"
  device_file || fail "no game on the device"
  expect_compressed
  drive nofile '%PF%\Vexlin\vexlin.exe'
  ;;
language)
  # Esperanto on the language page rebuilds both pages in Esperanto and keeps the target; closing before
  # Install shows no box. The choice is kept for the next start.
  mkdir -p "$DEVICE"
  export VEXLIN_DEVICE_DIR="$(windows_path "$DEVICE")"
  start_setup
  drive click "$TITLE" "${TARGET_DEVICE[@]}"
  wait_traced "target 2"
  drive click "$TITLE" "${ESPERANTO[@]}"
  wait_traced "language 0"
  drive wait "Instalilo de Vexlin" 5000
  [ "$(grep -c "page 105" "$TRACE")" = 2 ] || fail "the target page was not rebuilt"
  [ "$(grep -c "page 103" "$TRACE")" = 2 ] || fail "the language page was not rebuilt"
  drive click "Instalilo de Vexlin" "${INSTALL[@]}"
  close_box "Instalilo de Vexlin"
  traced "install target 2"
  ;;
close_early)
  # Closing before Install: no box, nothing installed.
  start_setup
  drive close "$TITLE"
  finish_setup
  traced "setup: closed"; not_traced "setup: message"
  expect_prompt_close
  drive nofile '%PF%\Vexlin\vexlin.exe' nokey HKLM "$UNINSTALL_KEY"
  ;;
failing_readonly)
  # A destination that cannot be written: string 18 with string 22's text for the member.
  mkdir -p "$WINEPREFIX/drive_c/Program Files/Vexlin"
  mkdir -p "$WINEPREFIX/drive_c/Program Files/Vexlin/vexlin.exe"
  start_setup
  drive click "$TITLE" "${INSTALL[@]}"
  close_box
  rm -rf "$WINEPREFIX/drive_c/Program Files/Vexlin"
  traced "message failure Setup was unable to install the file native\\\\vexlin.exe"
  ;;
failing_processor)
  # A device whose processor has no build in the payload: the installer's own failure, nothing on it.
  mkdir -p "$DEVICE"
  export VEXLIN_DEVICE_DIR="$(windows_path "$DEVICE")"
  export VEXLIN_DEVICE_PROCESSOR=mips
  start_setup
  drive click "$TITLE" "${TARGET_DEVICE[@]}"
  wait_traced "target 2"
  drive click "$TITLE" "${INSTALL[@]}"
  close_box
  traced "message failure Setup was unable to install the file mips\\\\vexlin.exe"
  device_file && fail "a wrong build reached the device"
  ;;
stop_during)
  # Closing while the worker installs both targets: asked, yes; the worker ends its step, writes the
  # uninstall information and stops; the failure box says so; the uninstall string removes everything.
  # The worker waits three seconds before each of its three stop checks per target, so the question
  # comes while the desktop is being installed.
  mkdir -p "$DEVICE"
  export VEXLIN_DEVICE_DIR="$(windows_path "$DEVICE")" VEXLIN_SETUP_STEP_PAUSE=3000
  start_setup
  drive click "$TITLE" "${TARGET_BOTH[@]}"
  wait_traced "target 1"
  drive click "$TITLE" "${INSTALL[@]}" close "$TITLE" boxed "$TITLE" 20000 char "$TITLE" 13
  wait_traced "stop requested"
  close_box
  traced "setup: stopped"; traced "message failure Setup was stopped"
  # Whatever step the desktop was on, it still gets its uninstaller and uninstall entry; the device is
  # skipped.
  drive key HKLM "$UNINSTALL_KEY" file "$LOG" file '%PF%\Tessel Software\remora.dll'
  device_file && fail "the device was installed after the stop"
  uninstall
  rm -rf "$DEVICE"
  ;;
installed_game)
  # The installed game starts from its shortcut and shows its window.
  start_setup
  drive click "$TITLE" "${INSTALL[@]}"
  close_box
  if [ "$HAS_GAME" = "ON" ]; then
    drive runlnk waitany "Vexlin" 20000
    wine taskkill /im vexlin.exe /f >/dev/null 2>&1
  else
    echo "the game program is not in this build: its start is not checked"
  fi
  uninstall
  ;;
twice)
  # Installing twice over itself and then uninstalling leaves nothing.
  for round in 1 2; do
    start_setup
    drive click "$TITLE" "${INSTALL[@]}"
    close_box
    [ "$(grep -c "message success" "$TRACE")" = "$round" ] || fail "round $round did not succeed"
  done
  expect_installed
  uninstall
  ;;
*)
  fail "unknown scenario $SCENARIO"
  ;;
esac
echo "setup scenario passed: $SCENARIO"
