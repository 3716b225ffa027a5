#!/bin/sh
# Checks what scripts/dist.sh gives a site, on the commit checked out (uncommitted
# changes are not part of it):
# - reproducible: the release built twice, from two clones at different paths, is the
#   same in every byte of every file in dist/;
# - checksums: SHA256SUMS names every other file of dist/ and sha256sum -c accepts it,
#   and the same inside the unpacked archive;
# - the archive: its names (the Chinese one in GBK, with a UTF-8 copy) and its files;
# - traceable: every executable's version information holds git's version and the address;
# - the guide quotes only texts the executables show;
# - signed: with a throwaway self-signed certificate, osslsigncode verifies both
#   executables, and removing the signature gives back the unsigned build's bytes.
# Three release builds: about two minutes on two otherwise idle cores.
set -eu
cd "$(dirname "$0")/.."
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
unset ZELFIX_SIGN_PFX ZELFIX_SIGN_PASSWORD ZELFIX_SIGN_TIMESTAMP_URL ZELFIX_SIGN_CAFILE \
  ZELFIX_VERSION

address=10.20.30.40
guide=使用说明.txt
archive=zelfix-$address.zip
work=$(mktemp -d /tmp/zelfix-release-check.XXXXXX)
# The second clone lies in this tree's build/: another path, of another length.
second=$(pwd)/build/release-check
trap 'rm -rf "$work" "$second"' EXIT INT TERM

fail() {
  echo "release-check: $*" >&2
  exit 1
}

if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release-check: uncommitted changes are not checked; checking $(git rev-parse --short HEAD)"
fi
commit=$(git rev-parse HEAD)
clone() {
  rm -rf "$1"
  git clone -q --no-checkout . "$1"
  git -C "$1" checkout -q --detach "$commit"
}

# dist.sh in a clone, its output in a log that is shown when it fails.
dist() {
  started=$(date +%s)
  if ! (cd "$1" && ./scripts/dist.sh "$address") >"$2" 2>&1; then
    tail -n 40 "$2"
    fail "scripts/dist.sh failed in $1"
  fi
  echo "release-check: dist.sh in $1: $(($(date +%s) - started)) s"
}

clone "$work/first"
clone "$second"
dist "$work/first" "$work/first.log"
dist "$second" "$work/second.log"
first=$work/first/dist

# Reproducible: every file, byte for byte.
expected="SHA256SUMS $archive zelfix-x64.com zelfix-x64.exe zelfix-x86.com zelfix-x86.exe $guide"
[ "$(cd "$first" && printf '%s\n' * | LC_ALL=C sort | tr '\n' ' ')" = "$expected " ] ||
  fail "dist/ holds $(ls "$first"), expected $expected"
differing=""
for file in $expected; do
  cmp -s "$first/$file" "$second/dist/$file" || differing="$differing $file"
done
[ -z "$differing" ] || fail "two builds of $commit differ in:$differing"
[ "$(grep -c '^zelfix: not signed' "$work/first.log")" = 1 ] ||
  fail "an unsigned build must say so in one line"

# Checksums: every other file named, all correct, in dist/ and in the unpacked archive.
check_sums() {
  (cd "$1" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS in $1"
  listed=$(sed 's/^[0-9a-f]\{64\}  //' "$1/SHA256SUMS" | LC_ALL=C sort | tr '\n' ' ')
  present=$(cd "$1" && printf '%s\n' * | grep -vx SHA256SUMS | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "$present" ] || fail "SHA256SUMS in $1 names $listed, the folder holds $present"
}
check_archive() {
  rm -rf "$work/unpacked" && mkdir "$work/unpacked"
  # unzip takes the UTF-8 copy of a name, and writes it as UTF-8 only in such a locale.
  (cd "$work/unpacked" && LC_ALL=C.UTF-8 unzip -q "$1/$archive") || fail "unzip $1/$archive"
  for file in zelfix-x64.exe zelfix-x86.exe zelfix-x64.com zelfix-x86.com $guide; do
    cmp "$1/$file" "$work/unpacked/$file" || fail "$file in the archive differs from dist/"
  done
  check_sums "$work/unpacked"
}
check_sums "$first"
check_archive "$first"

# The archive's names as Windows reads them; the version information of every executable
# (each string's key, its padding to four bytes, its value); the guide.
version=$(git -C "$work/first" describe --tags --always --abbrev=12 --dirty=-modified)
git -C "$work/first" describe --tags --abbrev=0 >/dev/null 2>&1 || version="commit $version"
python3 - "$first" "$archive" "$version" "$address" <<'EOF' || fail "archive, version or guide"
import re, sys, zipfile
folder, archive, version, address = sys.argv[1:]
names = [info.filename for info in zipfile.ZipFile(f"{folder}/{archive}").infolist()]
# Without the UTF-8 flag the names are bytes in the reader's code page; Python reads cp437.
names = [name.encode("cp437").decode("gbk") for name in names]
programs = ("zelfix-x64.exe", "zelfix-x86.exe", "zelfix-x64.com", "zelfix-x86.com")
assert names == [*programs, "使用说明.txt", "SHA256SUMS"], names
for exe in programs:
    data = open(f"{folder}/{exe}", "rb").read()
    for key, value in (("ProductVersion", version), ("FileVersion", version),
                       ("TargetServerAddress", address)):
        pattern = re.escape((key + "\0").encode("utf-16-le")) + b"(\0\0)?" + \
            re.escape((value + "\0").encode("utf-16-le"))
        found = len(re.findall(pattern, data))
        assert found == 2, f"{exe}: {key} = {value!r} in {found} of 2 languages"
# The guide: readable in Notepad, with the address, and every text it quotes from the
# program ("..." and the buttons in 【】; "……" leaves a part out) is in every executable.
# The others are Windows' own words.
guide = open(f"{folder}/使用说明.txt", "rb").read()
assert guide.startswith(b"\xef\xbb\xbf") and guide.count(b"\n") == guide.count(b"\r\n")
guide = guide.decode("utf-8")
assert address in guide and "@" not in guide, "the address in the guide"
windows_own = {"用户帐户控制", "是", "否", "确定", "属性", "只读", "详细信息"}
quoted = re.findall("“([^”]*)”|【([^】]*)】", guide)
assert len(quoted) > 10, quoted
for exe in programs:
    data = open(f"{folder}/{exe}", "rb").read()
    for text in (a or b for a, b in quoted):
        for part in filter(None, (part.strip() for part in text.split("……"))):
            assert part in windows_own or part.encode() in data, f"{exe} never shows {part!r}"
EOF

# Signed: a certificate made for this run only, in the scratch folder.
password=$(openssl rand -hex 16)
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=zelfix release check" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" \
  >/dev/null 2>&1 || fail "openssl could not make a test certificate"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/test.pfx" \
  -passout "pass:$password" || fail "openssl could not make the PKCS#12 file"
ZELFIX_SIGN_PFX=$work/test.pfx ZELFIX_SIGN_PASSWORD=$password \
  ZELFIX_SIGN_CAFILE=$work/cert.pem dist "$second" "$work/signed.log"
signed=$second/dist
for exe in zelfix-x64.exe zelfix-x86.exe zelfix-x64.com zelfix-x86.com; do
  osslsigncode verify -CAfile "$work/cert.pem" -in "$signed/$exe" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "the signature of $exe does not verify"; }
  grep -q 'Message digest algorithm *: SHA256' "$work/verify.log" || fail "$exe: not SHA-256"
  osslsigncode remove-signature -in "$signed/$exe" -out "$work/$exe" >/dev/null
  cmp "$first/$exe" "$work/$exe" || fail "$exe without its signature differs from the unsigned build"
  ! cmp -s "$first/$exe" "$signed/$exe" || fail "$exe was not signed"
done
check_sums "$signed"
check_archive "$signed"
echo "release-check: reproducible, checksummed, traceable and signed ($version, $address)"
