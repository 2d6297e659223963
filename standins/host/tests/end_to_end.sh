#!/usr/bin/env bash
# The host against the software token: listings, random bytes, writing a certificate,
# hashing compared with OpenSSL, PIN failures and error texts.
#   end_to_end.sh BIN_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=../../../scripts/demo/token_env.sh
source "$root/scripts/demo/token_env.sh"
make_token "$work" "$bin"

host() { "$bin/zolvex-host" --no-progress "$@"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
expect() {  # expect TEXT OUTPUT
    grep -qF -- "$1" <<<"$2" || fail "expected \"$1\" in:"$'\n'"$2"
}

out=$(host modules)
expect "zolvex: loaded" "$out"
expect "host: loaded" "$out"

out=$(host devices)
expect "device 1: ZOLVEXToken GOST 0000001234" "$out"
expect "label:    ZOLVEX 0" "$out"
expect "firmware version: 1.0" "$out"

expect "0 container(s)" "$(host containers)"
expect "0 certificate(s)" "$(host certificates)"

random=$(host random 24)
[[ $random =~ ^[0-9a-f]{48}$ ]] || fail "random: $random"
[[ $(host random 24) != "$random" ]] || fail "the same random bytes twice"

# Hashing needs the token's provider, which only a certificate on the token leads to.
if host hash /dev/null 2>"$work/err"; then fail "hash without a certificate"; fi
expect "install a certificate first" "$(cat "$work/err")"

openssl req -x509 -engine gost -newkey gost2012_256 -pkeyopt paramset:A -nodes \
    -keyout "$work/test.key" -subj "/CN=End To End" -md_gost12_256 -days 30 \
    -set_serial 0x0a0b0c0d -outform DER -out "$work/test.der" 2>/dev/null

# A wrong scripted PIN is tried once and the module's error text reaches the user.
if ZOLVEX_PIN=00000000 host install "$work/test.der" --container e2e 2>"$work/err"; then
    fail "install with a wrong PIN"
fi
expect "Wrong PIN" "$(cat "$work/err")"
expect "30017" "$(cat "$work/err")"

expect "installed CN=End To End into container e2e" \
    "$(host install "$work/test.der" --container e2e)"
out=$(host certificates)
expect "1 certificate(s)" "$out"
expect "subject:    2.5.4.3=End To End" "$out"
expect "serial:     0a0b0c0d" "$out"
thumbprint=$(openssl x509 -inform DER -in "$work/test.der" -noout -fingerprint -sha1 |
    sed 's/.*=//; s/://g' | tr 'A-F' 'a-f')
expect "sha1:       $thumbprint" "$out"

head -c 1500000 /dev/urandom >"$work/data.bin"
host hash "$work/data.bin" --out "$work/digest.bin" >/dev/null
openssl dgst -engine gost -md_gost12_256 -binary "$work/data.bin" 2>/dev/null >"$work/expected.bin"
cmp "$work/digest.bin" "$work/expected.bin" || fail "digest differs from OpenSSL's"
host hash "$work/data.bin" --algorithm 1.2.643.7.1.1.2.3 --out "$work/digest512.bin" >/dev/null
openssl dgst -engine gost -md_gost12_512 -binary "$work/data.bin" 2>/dev/null >"$work/expected.bin"
cmp "$work/digest512.bin" "$work/expected.bin" || fail "512-bit digest differs from OpenSSL's"

# The progress bar goes to stderr and leaves the digest alone.
host --progress hash "$work/data.bin" 2>"$work/err" >/dev/null
expect "100%" "$(cat "$work/err")"

if host hash "$work/data.bin" --algorithm 1.2.3 2>"$work/err"; then fail "unknown algorithm"; fi
expect "30020" "$(cat "$work/err")"

expect "deleted certificate" "$(host delete-cert "$thumbprint")"
expect "0 certificate(s)" "$(host certificates)"

# A key pair on the token, its certificate issued with the test key. Key generation leaves
# no record beyond the documented ones, even at trace level.
host --log-level trace keygen --key-id e2e-key --param-set 1.2.643.7.1.2.1.1.1 \
    --subject "cn=End To End Key" --out "$work/request.b64" >/dev/null 2>"$work/log"
expect "zolvex start" "$(cat "$work/log")"
if grep -F "unloading with open count" "$work/log"; then fail "keygen logged an open count"; fi
{
    echo "-----BEGIN CERTIFICATE REQUEST-----"
    fold -w 64 "$work/request.b64" && echo
    echo "-----END CERTIFICATE REQUEST-----"
} | grep -v '^$' >"$work/request.pem"
openssl x509 -req -engine gost -in "$work/request.pem" -CAform DER -CA "$work/test.der" \
    -CAkey "$work/test.key" -set_serial 2 -days 30 -md_gost12_256 -outform DER \
    -out "$work/key.der" 2>/dev/null
expect "into container e2e-key" "$(host install "$work/key.der" --container e2e-key)"

# A token failure inside the signing loop names the loop's lambda as the host shows it.
if ZOLVEX_SOFTTOKEN_FAULTS=C_SignUpdate:1:0x30 host sign "$work/data.bin" --cert e2e-key \
    --out "$work/data.sig" 2>"$work/err"; then
    fail "signing with a failing token"
fi
expect "40048 Cryptoki" "$(cat "$work/err")"
grep -qE $'\t[(]hash[.]cpp:[0-9]+[)] operator [(][)]$' "$work/err" ||
    fail "expected the lambda's location in: $(cat "$work/err")"

expect "30017 TokensLoginFailed (Crypto)" "$(host error 30017)"
echo "end-to-end: passed"
