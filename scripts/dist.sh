#!/bin/sh
# Builds the two Windows executables for the operators' PCs into dist/:
#   dist/zelfix-x64.exe   64-bit Windows
#   dist/zelfix-x86.exe   32-bit Windows (runs on 64-bit Windows too)
#   dist/使用说明.txt      the operator guide, in Chinese
# Both are release builds, linked statically: copy the .exe alone.
#
#   scripts/dist.sh 10.20.30.40     the site's new web-server address
set -eu
cd "$(dirname "$0")/.."

address=${1:-${ZELFIX_TARGET_SERVER_ADDRESS:-}}
if [ -z "$address" ]; then
  echo "usage: scripts/dist.sh <new web-server address, e.g. 10.20.30.40>" >&2
  exit 2
fi

./scripts/deps.sh
for preset in release-mingw64 release-mingw32; do
  cmake --preset "$preset" -DZELFIX_TARGET_SERVER_ADDRESS="$address" >/dev/null
  cmake --build --preset "$preset"
done

rm -rf dist
mkdir -p dist
cp build/release-mingw64/app/zelfix.exe dist/zelfix-x64.exe
cp build/release-mingw32/app/zelfix.exe dist/zelfix-x86.exe
# Notepad on Windows 7 needs the byte-order mark and CR LF to show the guide right.
printf '\357\273\277' >dist/使用说明.txt
sed -e "s/@ADDRESS@/$address/g" -e 's/$/\r/' docs/operator-guide.zh.txt >>dist/使用说明.txt
ls -l dist
