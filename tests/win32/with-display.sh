#!/bin/sh
# Runs a command with an X display: the one in $DISPLAY, or else a private Xvfb that
# lives as long as the command. Without Xvfb the command runs as it is (the window
# tests then skip).
#   with-display.sh <command> [arguments]
set -u

if [ -n "${DISPLAY:-}" ] || ! command -v Xvfb >/dev/null 2>&1; then
  exec "$@"
fi

# The first free display number from :90 on; -ac lets the unprivileged user that
# wine-run.sh switches to connect.
number=90
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
  number=$((number + 1))
done
Xvfb ":$number" -screen 0 1024x768x24 -ac -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT INT TERM
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$number" ] && break
  sleep 0.1
done

DISPLAY=":$number" "$@"
status=$?
exit "$status"
