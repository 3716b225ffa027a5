#!/bin/sh
# Builds what goes to a site, into dist/:
#   zelfix-x64.exe           64-bit Windows
#   zelfix-x86.exe           32-bit Windows (runs on 64-bit Windows too)
#   zelfix-x64.com           their console twins, for the command line (/check, /quiet):
#   zelfix-x86.com           cmd.exe waits for them and sets %errorlevel%
#   使用说明.txt              the operator guide, in Chinese
#   zelfix-ADDRESS.zip       the five above and their SHA256SUMS: the one file to send
#   SHA256SUMS               the checksums of all six, for sha256sum -c
# The executables are release builds, linked statically: copy the .exe (and the .com for
# the command line) alone. Their version information names the version (git describe) and the address. The same commit
# and address give the same bytes, wherever and whenever they are built.
#
#   scripts/dist.sh 10.20.30.40     the site's new web-server address
#
# Signing, with Authenticode (SHA-256) through osslsigncode, when a certificate is given:
#   ZELFIX_SIGN_PFX            a PKCS#12 file with the certificate and its key
#   ZELFIX_SIGN_PASSWORD       its password
#   ZELFIX_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping service (optional)
#   ZELFIX_SIGN_CAFILE         the CA certificates the signatures are verified against
#                              (optional; else the system's)
# Other settings: SOURCE_DATE_EPOCH (default: the commit's time) dates the files in the
# archive; ZELFIX_VERSION replaces the version taken from git (for a source archive).
set -eu
cd "$(dirname "$0")/.."

address=${1:-${ZELFIX_TARGET_SERVER_ADDRESS:-}}
if [ -z "$address" ]; then
  echo "usage: scripts/dist.sh <new web-server address, e.g. 10.20.30.40>" >&2
  exit 2
fi
if [ -n "${ZELFIX_SIGN_PFX:-}" ] && [ ! -r "$ZELFIX_SIGN_PFX" ]; then
  echo "zelfix: ZELFIX_SIGN_PFX names no readable file: $ZELFIX_SIGN_PFX" >&2
  exit 1
fi

# A failed run leaves no dist/, neither an earlier one nor half of this one.
rm -rf dist
trap '[ $? = 0 ] || rm -rf dist' EXIT
./scripts/deps.sh release

# Nothing of this machine's settings may reach the files.
export LC_ALL=C TZ=UTC
in_git() { [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if in_git; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  else
    SOURCE_DATE_EPOCH=315532800  # 1980-01-01, the earliest date a zip archive holds
    echo "zelfix: no git history: the archive's files are dated 1980-01-01 (set SOURCE_DATE_EPOCH)"
  fi
fi
export SOURCE_DATE_EPOCH
if in_git && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "zelfix: the tree has uncommitted changes: the version will end in -modified, and no" \
       "other build can reproduce these executables"
fi

# Always from scratch: a cache left by an earlier configure could hold other flags.
mkdir -p build
for preset in release-mingw64 release-mingw32; do
  rm -rf "build/$preset"
  cmake --preset "$preset" -DZELFIX_TARGET_SERVER_ADDRESS="$address" \
        ${ZELFIX_VERSION:+"-DZELFIX_VERSION=$ZELFIX_VERSION"} >"build/$preset.configure.log" ||
    { cat "build/$preset.configure.log"; exit 1; }
  cmake --build --preset "$preset"
done
if grep -q 'CMake Warning' build/release-mingw64.configure.log; then
  cat build/release-mingw64.configure.log
fi
grep -h '^-- zelfix: version' build/release-mingw64.configure.log

mkdir dist
cp build/release-mingw64/app/zelfix.exe dist/zelfix-x64.exe
cp build/release-mingw32/app/zelfix.exe dist/zelfix-x86.exe
cp build/release-mingw64/app/zelfix.com dist/zelfix-x64.com
cp build/release-mingw32/app/zelfix.com dist/zelfix-x86.com
# Notepad on Windows 7 needs the byte-order mark and CR LF to show the guide right.
printf '\357\273\277' >dist/使用说明.txt
sed -e "s/@ADDRESS@/$address/g" -e 's/$/\r/' docs/operator-guide.zh.txt >>dist/使用说明.txt

# Signs in place and checks the signature; osslsigncode's report only when it fails.
sign() {
  file=$1
  log=build/sign.log
  set -- -h sha256 -n "zelfix - ZEL server address repair"
  if [ -n "${ZELFIX_SIGN_TIMESTAMP_URL:-}" ]; then
    set -- "$@" -ts "$ZELFIX_SIGN_TIMESTAMP_URL"
  fi
  # The password goes through a pipe, never on a command line (an empty one cannot).
  # Debian 12's osslsigncode (2.5) takes "-" for a file's name, so the pipe is named.
  if [ -n "${ZELFIX_SIGN_PASSWORD:-}" ]; then
    set -- -readpass /dev/stdin "$@"
  else
    set -- -pass "" "$@"
  fi
  rm -f "$file.signed"
  if ! printf '%s' "${ZELFIX_SIGN_PASSWORD:-}" |
      osslsigncode sign -pkcs12 "$ZELFIX_SIGN_PFX" "$@" -in "$file" -out "$file.signed" \
        >"$log" 2>&1; then
    cat "$log" >&2
    echo "zelfix: signing $file failed" >&2
    rm -f "$file.signed"
    exit 1
  fi
  mv "$file.signed" "$file"
  if ! osslsigncode verify ${ZELFIX_SIGN_CAFILE:+-CAfile "$ZELFIX_SIGN_CAFILE"} -in "$file" \
      >"$log" 2>&1; then
    cat "$log" >&2
    echo "zelfix: the signature of $file does not verify" >&2
    exit 1
  fi
  echo "zelfix: signed $file, and the signature verifies"
}
if [ -n "${ZELFIX_SIGN_PFX:-}" ]; then
  for file in dist/zelfix-x64.exe dist/zelfix-x86.exe dist/zelfix-x64.com dist/zelfix-x86.com; do
    sign "$file"
  done
else
  echo "zelfix: not signed: ZELFIX_SIGN_PFX names no certificate"
fi

# The archive holds the checksums of its five files; dist/SHA256SUMS adds the archive's.
archive=zelfix-$address.zip
(cd dist && sha256sum zelfix-x64.exe zelfix-x86.exe zelfix-x64.com zelfix-x86.com 使用说明.txt \
  >SHA256SUMS)
python3 tools/make_zip.py "dist/$archive" "$SOURCE_DATE_EPOCH" dist/zelfix-x64.exe \
  dist/zelfix-x86.exe dist/zelfix-x64.com dist/zelfix-x86.com dist/使用说明.txt dist/SHA256SUMS
(cd dist && sha256sum "$archive" >>SHA256SUMS && sha256sum --check --quiet SHA256SUMS)
touch -d "@$SOURCE_DATE_EPOCH" dist/*
ls -l dist
