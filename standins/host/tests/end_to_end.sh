#!/usr/bin/env bash
# The host against the software token: listings, random bytes, writing a certificate,
# hashing compared with OpenSSL, PIN failures and error texts.
#   end_to_end.sh STANDINS_DIR
set -euo pipefail
# shellcheck source=checks.sh
source "$(dirname "$0")/checks.sh"
token_test "$1"

host() { "$bin/zolvex-host" --no-progress "$@"; }

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

# Bad usage is one line on stderr and exit status 2, and reaches no token: no key pair is
# generated for a request that would have been refused later.
usage_error() {  # usage_error TEXT ARGUMENT...
    local status=0
    host "${@:2}" 2>"$work/err" >/dev/null || status=$?
    [[ $status == 2 ]] || fail "$* gave exit status $status"
    [[ $(wc -l <"$work/err") == 1 ]] || fail "$* printed more than one line:"$'\n'"$(cat "$work/err")"
    expect "error: " "$(cat "$work/err")"
    expect "$1" "$(cat "$work/err")"
}
usage_error "COUNT must be a whole number from 1 to 65536" random 99999999999999
usage_error "COUNT must be a whole number from 1 to 65536" random 0
usage_error "unknown command" bogus
usage_error "--pin-attempts must be a whole number from 1 to 10" --pin-attempts 0 devices
usage_error "valid: cRLSign, dataEncipherment" keygen --key-id k --subject cn=K \
    --key-usage 0xZZ --out "$work/k.b64"
usage_error "valid: OCSPSigning" keygen --key-id k --subject cn=K --eku signing --out "$work/k.b64"
usage_error "\"zz=K\" is no NAME=VALUE" keygen --key-id k --subject "zz=K" --out "$work/k.b64"
# An output that cannot be written is refused as early.
if host keygen --key-id k --subject cn=K --out "$work/absent/k.b64" 2>"$work/err"; then
    fail "keygen into a missing folder"
fi
expect "cannot write $work/absent/k.b64" "$(cat "$work/err")"
expect "0 container(s)" "$(host containers)"
[[ ! -e $work/k.b64 ]] || fail "a request file for refused arguments"

# Hashing needs the token's provider, which only a certificate on the token leads to.
: >"$work/empty"
if host hash "$work/empty" 2>"$work/err"; then fail "hash without a certificate"; fi
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

# Standard input is read like a file; signing, which reads the data twice, needs it seekable.
expect "$(host hash "$work/data.bin" | cut -d' ' -f1)  -" "$(host hash - <"$work/data.bin")"
# shellcheck disable=SC2002 # a pipe, not a file, on purpose
expect "$(host hash "$work/data.bin" | cut -d' ' -f1)  -" "$(cat "$work/data.bin" | host hash -)"
usage_error "standard input must be a file" sign - --out "$work/x.sig" <<<"data"

# What is no regular file, or fails to read, is never taken for empty data.
mkfifo "$work/fifo"
for input in "$work" /proc/self/mem "$work/fifo"; do
    for command in "hash $input --out $work/x.out" "sign $input --out $work/x.out"; do
        # shellcheck disable=SC2086
        if host $command 2>"$work/err"; then fail "$command succeeded"; fi
        [[ $(wc -l <"$work/err") == 1 && ! -e $work/x.out ]] || fail "$command: $(cat "$work/err")"
    done
done
expect "is a directory, not a file" "$(host hash "$work" 2>&1)"
expect "cannot read /proc/self/mem: Input/output error" "$(host hash /proc/self/mem 2>&1)"
expect "fifo is not a regular file" "$(host hash "$work/fifo" 2>&1)"

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
