#!/bin/sh
# Shows the folder selection window under Wine in a private Xvfb and saves what the
# operator sees, for a person to look at (not a ctest):
#   tests/win32/look.sh [build folder]       default build/mingw64
# The pictures go to <build>/look/: the window as it opens, after Tab and Down, after
# Enter opened the highlighted folder, with the drive list dropped down, and the box of
# an error that escaped a handler. Wine runs as a virtual desktop so that the frame,
# caption and icon are drawn as Windows draws them.
set -eu
cd "$(dirname "$0")/../.."
build=$(cd "${1:-build/mingw64}" && pwd)
demo=$build/tests/win32/zelfix_window_demo.exe
out=$build/look
mkdir -p "$out"
export ZELFIX_WINE_HOME=$build/look-wine

if [ -z "${LOOK_DISPLAY_READY:-}" ]; then
  LOOK_DISPLAY_READY=1 exec tests/win32/with-display.sh "$0" "$@"
fi

# An installation to look at: C:\Program Files\TAMO\ZEL1 with BIN and DATA.
cmake/wine-run.sh cmd /c ver >/dev/null 2>&1  # creates the prefix on first use
tamo="$ZELFIX_WINE_HOME/prefix/drive_c/Program Files/TAMO"
mkdir -p "$tamo/ZEL1/BIN" "$tamo/ZEL1/DATA"
chown -R "$(stat -c %u "$ZELFIX_WINE_HOME/prefix")" "$tamo"
# D: with a volume label, which the drive list shows in brackets. Wine reads it from this
# file once per wineserver session, so the session is ended first.
printf '数据盘\n' >"$ZELFIX_WINE_HOME/drive_d/.windows-label"
if [ "$(id -u)" = 0 ]; then
  runuser -u zelfix-wine -- env WINEPREFIX="$ZELFIX_WINE_HOME/prefix" wineserver -k 2>/dev/null || true
else
  WINEPREFIX="$ZELFIX_WINE_HOME/prefix" wineserver -k 2>/dev/null || true
fi

shot() {
  sleep 0.7
  import -window root -crop 640x520+0+0 "$out/$1.png"
  echo "look: $out/$1.png"
}

run() {  # run <log> <demo arguments>: the demo in a virtual desktop, from C:\Program Files\TAMO
  log=$1
  shift
  (cd "$tamo" && exec "$OLDPWD/cmake/wine-run.sh" explorer /desktop=look,640x520 "$demo" "$@") \
    >"$out/$log" 2>&1 &
  for _ in $(seq 100); do
    grep -q Loaded "$out/$log" 2>/dev/null && break
    sleep 0.2
  done
  sleep 1
}

finish() {  # waits for the demo to end
  for _ in $(seq 50); do
    grep -q EventLoopReturned "$out/$1" 2>/dev/null && return 0
    sleep 0.2
  done
  echo "look: the demo did not end" >&2
  return 1
}

run demo.log
shot 1-opened
xdotool key Tab Down
shot 2-tab-down
xdotool key Return
shot 3-enter-opened-bin
xdotool key shift+Tab alt+Down
shot 4-drive-list-dropped
xdotool key Escape Escape
finish demo.log

run demo-error.log --ok-throws
xdotool key Tab Tab space
shot 5-error-box
xdotool key Return
sleep 1
grep -v -e '^wine: Read access' -e XGetInputFocus "$out/demo.log" "$out/demo-error.log" || true
