#!/bin/sh
# Installs what building and testing zelfix needs from Debian's packages, when missing,
# and makes sure the zh_CN.UTF-8 locale exists (Wine takes code page 936 from it).
#   deps.sh native    what the native program needs to build
#   deps.sh release   what scripts/dist.sh and scripts/release-check.sh need, and no more
#   deps.sh           everything the tests need, both sets above included
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
if [ "${1:-all}" = all ]; then
  packages="$packages clang libclang-rt-14-dev libbenchmark-dev wine wine64 xvfb xdotool
    x11-apps imagemagick fonts-wqy-zenhei locales hyperfine strace"
  packages="$packages openbox x11-utils"  # the end-to-end suite's window manager, xprop
  packages="$packages wine32:i386"  # 32-bit Wine, from Debian's i386 multiarch
  packages="$packages fuse3 python3-fusepy"  # the end-to-end suite's slow drives
fi

missing=""
for package in $packages; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing="$missing $package"
done

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
    echo "zelfix: need root to run: $*" >&2; exit 1; fi
}

if [ -n "$missing" ]; then
  echo "zelfix: installing$missing"
  case "$missing" in *:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  esac
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

[ "${1:-all}" = all ] || exit 0

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "zelfix: generating the zh_CN.UTF-8 locale"
  as_root sh -c "sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen &&
                 (grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen) &&
                 locale-gen >/dev/null"
fi
