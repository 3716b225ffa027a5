#!/bin/sh
# Builds and runs every test of zelfix: the native suites, the same suites with
# AddressSanitizer and UndefinedBehaviorSanitizer, a 60 s fuzz run of the profile engine,
# the kill test of the settings file's replacement, the Windows x86_64 and i686 suites
# under Wine with code page 936, and the end-to-end suite (the real program, both Windows
# executables under Wine and the native build, compared, with drives that answer late or
# never as FUSE file systems), and the release check (the
# site release built twice and compared, checksummed and signed).
# Installs what is missing first. Exits non-zero when any step fails.
#
# A step is SKIPPED, never failed, only when the platform cannot provide what it runs on:
# 32-bit Wine, when Debian's i386 packages cannot be installed (scripts/deps.sh says why).
# The i686 executables are then still built and linked; only running them is skipped.
# Skipped steps are named with their reason where they would run and in the summary.
set -u
cd "$(dirname "$0")/.."

mkdir -p build
unavailable=build/unavailable-packages.txt
: >"$unavailable"
ZELFIX_UNAVAILABLE=$unavailable ./scripts/deps.sh || exit 1

no_wine32=""
if [ "$(dpkg-query -W -f='${db:Status-Status}' wine32:i386 2>/dev/null)" != installed ]; then
  why=$(sed -n 's/^wine32:i386: //p' "$unavailable")
  no_wine32="32-bit Wine (wine32:i386) cannot be installed: ${why:-it is not installed}"
fi

failed=""
skipped=""
skip() {
  echo "=== $1: SKIPPED: $2"
  skipped="$skipped
  $1: $2"
}
step() {
  name=$1
  shift
  echo "=== $name"
  start=$(date +%s)
  if "$@"; then
    echo "=== $name: passed ($(( $(date +%s) - start )) s)"
  else
    echo "=== $name: FAILED"
    failed="$failed $name"
  fi
}

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }
suites() { build "$1" && ctest --preset "$1" --output-on-failure; }

# The profile engine under libFuzzer for 60 s, starting from the seed corpus. New inputs
# go to a scratch folder; a finding is written to build/fuzz/ and becomes a regular test.
fuzz() {
  build fuzz || return 1
  rm -rf build/fuzz/corpus && mkdir -p build/fuzz/corpus
  build/fuzz/tests/fuzz/zelfix_profile_fuzz -max_total_time=60 -max_len=4096 -timeout=10 \
    -dict=tests/fuzz/profile.dict -artifact_prefix=build/fuzz/ build/fuzz/corpus \
    tests/fuzz/corpus >build/fuzz/fuzz.log 2>&1
  result=$?
  tail -n "$([ $result = 0 ] && echo 2 || echo 60)" build/fuzz/fuzz.log
  return $result
}

step native suites native
step sanitizers suites asan
step fuzz fuzz
# SIGTERM, SIGINT, SIGHUP and SIGKILL at random moments while a 24 MB settings file is
# rewritten (about a minute).
step kill-test build/native/tests/stress/zelfix_kill_test
# A fresh Wine prefix for every run: nothing a previous run left can change the result.
rm -rf build/mingw64/wine build/mingw32/wine
step windows-x86_64-under-wine suites mingw64
if [ -z "$no_wine32" ]; then
  step windows-i686-under-wine suites mingw32
  # Needs build/native, build/mingw64 and build/mingw32 from the steps above.
  step end-to-end python3 tests/e2e/e2e.py
else
  step windows-i686-build build mingw32
  skip windows-i686-under-wine "$no_wine32"
  step end-to-end python3 tests/e2e/e2e.py --builds x64,native
  skip end-to-end-x86 "$no_wine32"
fi
# The site release built twice and compared, checksummed, signed with a throwaway
# certificate (scripts/release-check.sh, about two minutes).
step release ./scripts/release-check.sh

[ -z "$skipped" ] || echo "zelfix: SKIPPED, as the platform cannot provide what they need:$skipped"
if [ -n "$failed" ]; then
  echo "zelfix: FAILED:$failed"
  exit 1
fi
echo "zelfix: all tests passed${skipped:+, but for the SKIPPED steps above}"
