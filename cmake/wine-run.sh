#!/bin/sh
# Runs a Windows test program under Wine the way the operators' PCs look to it:
# - code page 936 (LC_ALL=zh_CN.UTF-8), as on Chinese Windows;
# - a private Wine prefix in $ZELFIX_WINE_HOME (default: a folder beside the program),
#   created on first use (64-bit, or 32-bit with WINEARCH=win32), whose D: to G: are
#   scratch folders; the tests create and delete installation folders on C: to G: there,
#   so ZELFIX_TEST_SANDBOX=1 marks it as safe;
# - never as root: root ignores the read-only attribute, which Windows never does for a
#   program, so as root the program runs as the unprivileged user "zelfix-wine".
set -eu

program=$1
shift
home=${ZELFIX_WINE_HOME:-$(cd "$(dirname "$program")" && pwd)/wine}

if [ "$(id -u)" = 0 ]; then
  user=zelfix-wine
  id -u "$user" >/dev/null 2>&1 || useradd --system --create-home --shell /bin/sh "$user"
  mkdir -p "$home"
  chown "$user" "$home"
  # The build tree must be readable by that user (it usually is).
  exec runuser -u "$user" -- env ZELFIX_WINE_HOME="$home" DISPLAY="${DISPLAY:-}" \
    ${WINEARCH:+WINEARCH="$WINEARCH"} "$0" "$program" "$@"
fi

export WINEPREFIX="$home/prefix"
export LC_ALL=zh_CN.UTF-8
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export ZELFIX_TEST_SANDBOX=1

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Serialise the first start of several tests at once.
  mkdir -p "$home"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver --wait
      for drive in d e f g; do
        mkdir -p "$home/drive_$drive"
        ln -sfn "../../drive_$drive" "$WINEPREFIX/dosdevices/$drive:"
      done
    fi
  ) 9>"$home/.lock"
fi

exec wine "$program" "$@"
