#!/bin/sh
# Installs what building and testing zelfix needs from Debian's packages, when missing,
# and makes sure the zh_CN.UTF-8 locale exists (Wine takes code page 936 from it).
#   deps.sh native    what the native program needs to build
#   deps.sh release   what scripts/dist.sh and scripts/release-check.sh need, and no more
#   deps.sh           everything the tests need, both sets above included
#
# A package index that fails to download (a mirror caught mid-sync) is a warning: apt
# goes on with the indexes it has. When installing everything at once fails, each
# package is tried alone, and what still could not be installed is named with apt's
# first error line. Exits non-zero when a package the tests cannot do without is
# missing; 32-bit Wine is the one they can: without it the test command skips the steps
# that run the i686 executables, and says so. When ZELFIX_UNAVAILABLE names a file,
# each package that could not be installed is written there as "package: reason".
set -eu

native="cmake ninja-build g++ googletest libicu-dev"
# The cross compilers (with windres), Python for the icon and the archive, git for the
# version, osslsigncode and OpenSSL for signing, unzip for checking the archive.
release="cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686 python3 git osslsigncode
  openssl unzip"
case "${1:-all}" in
  native) packages=$native ;;
  release) packages=$release ;;
  all) packages="$native $release" ;;
  *) echo "usage: scripts/deps.sh [native | release]" >&2; exit 2 ;;
esac
# What may be missing: its i386 packages must match the machine's amd64 ones version
# for version, so a stale i386 index alone makes it uninstallable.
optional=""
if [ "${1:-all}" = all ]; then
  packages="$packages clang libclang-rt-14-dev libbenchmark-dev wine wine64 xvfb xdotool
    x11-apps imagemagick fonts-wqy-zenhei locales hyperfine strace"
  packages="$packages openbox x11-utils"  # the end-to-end suite's window manager, xprop
  packages="$packages wine32:i386"  # 32-bit Wine, from Debian's i386 multiarch
  packages="$packages fuse3 python3-fusepy"  # the end-to-end suite's slow drives
  optional="wine32:i386"
fi

installed() {
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]
}

missing_of() {
  listed=" "
  for package in $packages; do
    case $listed in *" $package "*) continue ;; esac  # both sets name some
    listed="$listed$package "
    installed "$package" || printf ' %s' "$package"
  done
}

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
    echo "zelfix: need root to run: $*" >&2; exit 1; fi
}

# apt's own words for why it failed: its first error line, else its first line.
first_error() {
  grep -m1 '^E:' "$1" || grep -m1 . "$1" || echo "apt-get gave no reason"
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

missing=$(missing_of)
index_problem=""
if [ -n "$missing" ]; then
  echo "zelfix: installing$missing"
  case "$missing" in *:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  esac
  if ! as_root apt-get update -qq >"$scratch/update" 2>&1 || grep -q '^[EW]:' "$scratch/update"; then
    index_problem=$(first_error "$scratch/update")
    echo "zelfix: warning: the package index is incomplete; installing from what it has:" >&2
    sed 's/^/  /' "$scratch/update" >&2
  fi
  apt_install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
  }
  # shellcheck disable=SC2086 # one word per package
  if ! apt_install $missing >"$scratch/all" 2>&1; then
    # shellcheck disable=SC2086
    set -- $missing
    if [ $# = 1 ]; then
      cp "$scratch/all" "$scratch/$1"
    else
      echo "zelfix: installing them together failed ($(first_error "$scratch/all")); trying each alone"
      for package in $missing; do
        apt_install "$package" >"$scratch/$package" 2>&1 || true
      done
    fi
  fi
fi

# Judged by what is installed now, not by apt's exit codes.
required_missing=""
for package in $(missing_of); do
  reason="apt-get did not install it"
  [ -f "$scratch/$package" ] && reason=$(first_error "$scratch/$package")
  [ -n "$index_problem" ] && reason="$reason (package index: $index_problem)"
  echo "zelfix: could not install $package: $reason" >&2
  [ -n "${ZELFIX_UNAVAILABLE:-}" ] && echo "$package: $reason" >>"$ZELFIX_UNAVAILABLE"
  case " $optional " in
    *" $package "*) echo "zelfix: $package is optional: the steps that need it will be SKIPPED" >&2 ;;
    *) required_missing="$required_missing $package" ;;
  esac
done
if [ -n "$required_missing" ]; then
  echo "zelfix: cannot go on without:$required_missing" >&2
  exit 1
fi

[ "${1:-all}" = all ] || exit 0

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "zelfix: generating the zh_CN.UTF-8 locale"
  as_root sh -c "sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen &&
                 (grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen) &&
                 locale-gen >/dev/null"
fi
