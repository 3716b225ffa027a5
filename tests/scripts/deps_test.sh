#!/bin/sh
# scripts/deps.sh against a stand-in apt: a package index caught mid-sync, a package
# that cannot be installed, and a machine where everything installs. apt-get, dpkg,
# dpkg-query, locale and sudo are stubs early in PATH; nothing is installed for real.
set -u
deps=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

stub() { printf '#!/bin/sh\n%s\n' "$2" >"$work/bin/$1" && chmod +x "$work/bin/$1"; }
# apt installs all it is given or nothing, as the real one does.
stub apt-get '
echo "apt-get $*" >>"$STUB/calls"
case " $* " in
  *" update "*)
    [ -z "${STUB_INDEX_BROKEN:-}" ] && exit 0
    echo "E: Failed to fetch http://deb.example/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
esac
packages=""
for word in "$@"; do case $word in -*|install) ;; *) packages="$packages $word" ;; esac; done
for package in $packages; do
  case " $STUB_UNINSTALLABLE " in *" $package "*)
    echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
  esac
done
for package in $packages; do echo "$package" >>"$STUB/installed"; done'
stub dpkg-query 'eval "package=\${$#}"
grep -qx "$package" "$STUB/installed" 2>/dev/null && printf installed && exit 0
echo "dpkg-query: no packages found matching $package" >&2; exit 1'
stub dpkg 'case $1 in --print-foreign-architectures) echo i386 ;; esac'
stub locale 'echo zh_CN.utf8'
stub sudo 'exec "$@"'

failures=0
check() {  # description, then a shell condition
  if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

# Runs deps.sh on a machine that has nothing yet; sets $status, $out and $unavailable.
run() {
  export STUB="$work/$1" STUB_INDEX_BROKEN=$2 STUB_UNINSTALLABLE=$3
  mkdir "$STUB"
  unavailable="$STUB/unavailable"
  : >"$unavailable"
  out=$(PATH="$work/bin:$PATH" ZELFIX_UNAVAILABLE="$unavailable" sh "$deps" 2>&1)
  status=$?
  echo "--- $1: exit $status"
  echo "$out" | sed 's/^/    /'
}

run index-mid-sync 1 "wine32:i386"
check "a broken index and no 32-bit Wine: success" '[ $status = 0 ]'
check "apt's warning about the index is shown" 'echo "$out" | grep -q "binary-i386/Packages.xz  File has unexpected size"'
check "32-bit Wine named with apt's first error and the index's" \
  'echo "$out" | grep -q "could not install wine32:i386: E: Unable to correct problems.*(package index: E: Failed to fetch"'
check "only 32-bit Wine is listed as unavailable" \
  '[ "$(cut -d: -f1,2 "$unavailable")" = wine32:i386 ]'
check "every other package installed, one by one" \
  'grep -qx wine64 "$STUB/installed" && grep -qx cmake "$STUB/installed" && grep -qx fuse3 "$STUB/installed"'

run no-wine64 1 "wine32:i386 wine64"
check "64-bit Wine missing: failure" '[ $status != 0 ]'
check "the missing required package is named" 'echo "$out" | grep -q "cannot go on without: wine64"'

run all-installable "" ""
check "everything installable: success" '[ $status = 0 ]'
check "nothing unavailable, nothing skipped" '[ ! -s "$unavailable" ] && ! echo "$out" | grep -q -i "skip\|could not"'
check "one apt-get install for all" '[ "$(grep -c "apt-get.* install" "$STUB/calls")" = 1 ]'

[ $failures = 0 ] || { echo "$failures check(s) failed"; exit 1; }
