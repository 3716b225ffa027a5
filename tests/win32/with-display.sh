#!/bin/sh
# Runs a command with an X display: the one in $DISPLAY, or else a private Xvfb that
# lives as long as the command. Without Xvfb the command runs as it is (the window
# tests then skip).
#   with-display.sh <command> [arguments]
set -u

if [ -n "${DISPLAY:-}" ] || ! command -v Xvfb >/dev/null 2>&1; then
  exec "$@"
fi

# Xvfb picks a free display number itself and writes it once it accepts clients, so
# servers started at the same time never take the same number. -ac lets the
# unprivileged user that wine-run.sh switches to connect.
scratch=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -ac -nolisten tcp 3>"$scratch/display" \
  >"$scratch/log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM
deadline=$(($(date +%s) + 30))
until [ "$(wc -l <"$scratch/display")" -ge 1 ]; do
  if ! kill -0 "$server" 2>/dev/null || [ "$(date +%s)" -ge "$deadline" ]; then
    echo "with-display.sh: Xvfb gave no display within 30 s; it said:" >&2
    cat "$scratch/log" >&2
    exit 1
  fi
  sleep 0.1
done

DISPLAY=":$(cat "$scratch/display")" "$@"
