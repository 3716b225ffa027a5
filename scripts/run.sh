#!/bin/sh
# Builds zelfix natively (the POSIX stand-in back-end) and runs it. Windows paths are
# resolved through the Wine prefix in $WINEPREFIX (else ~/.wine); without one the only
# drive is Z:, the root of the file system.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native --target zelfix >/dev/null
exec ./build/native/app/zelfix "$@"
