#!/usr/bin/env bash
# How the signature fixtures were made, once, with Debian's minisign 0.11
# (kept for reference; the tests use the committed files). Two test keys
# without a password: site (trusted in the tests) and other (never trusted).
# The images are kvimage's test payloads, the same bytes on every build.
#   tests/image/signatures/make.sh BUILD_DIR
set -euo pipefail
build=$1
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bin/kvimage" make --version V1.00 --size 65536 "$tmp/small.bin"
"$build/bin/kvimage" make --version V1.00 --size 3145728 "$tmp/large.bin"
[ -f site.key ] || minisign -G -W -p site.pub -s site.key
[ -f other.key ] || minisign -G -W -p other.pub -s other.key
sign() { # KEY IMAGE OUT COMMENT [minisign options]
  local key=$1 image=$2 out=$3 comment=$4
  shift 4
  minisign -S -s "$key" -m "$tmp/$image" -x "$out" -t "$comment" "$@"
}
sign site.key small.bin small.minisig "kvflash test image V1.00, 64 KiB"
sign site.key large.bin large.minisig "kvflash test image V1.00, 3 MiB"
sign site.key small.bin legacy.minisig "signed whole, the legacy way" -l
sign other.key small.bin other-key.minisig "signed by a key nobody trusts"
# The trusted comment changed after signing; everything else kept.
sed 's/^trusted comment: .*/trusted comment: kvflash test image V9.99, 64 KiB/' small.minisig >altered-comment.minisig
head -c 120 small.minisig >cut-short.minisig
# One character of the signature line outside the base64 alphabet.
awk 'NR == 2 { $0 = substr($0, 1, 10) "*" substr($0, 12) } { print }' small.minisig >bad-base64.minisig
sed 's/$/\r/' small.minisig >crlf.minisig
sed 's/$/\r/' site.pub >site-crlf.pub
# zero-key.pub was written by hand: the site key's ID with 32 zero bytes.
