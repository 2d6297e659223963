#!/usr/bin/env bash
# Certificates as CAs issue them and other tools write them. For every serial number shape
# (one byte, sign byte needed or not, 20 random bytes), written by the host and by pkcs11-tool:
# the certificate installs, lists with its container, signs (OpenSSL verifies) and deletes.
# A token that pairs the certificate with another key gives no signature.
#   real_certificates.sh STANDINS_DIR
set -euo pipefail
# shellcheck source=checks.sh
source "$(dirname "$0")/checks.sh"
token_test "$1"

host() { "$bin/zolvex-host" --no-progress "$@"; }
gost() { local command=$1; shift; openssl "$command" -engine gost "$@" 2>/dev/null; }
p11() {
    LD_PRELOAD="${SOFTTOKEN_PRELOAD:-}" ASAN_OPTIONS=detect_leaks=0 \
        pkcs11-tool --module "$bin/voxa_pkcs11_main.so" "$@" >"$work/p11.log" 2>&1 ||
        fail "pkcs11-tool $*: $(cat "$work/p11.log")"
}

gost req -x509 -newkey gost2012_256 -pkeyopt paramset:A -nodes -keyout "$work/ca.key" \
    -subj "/CN=Serial Test CA" -md_gost12_256 -days 2 -out "$work/ca.pem"
# issue CONTAINER SERIAL: a certificate for the container's key pair, made on first use.
issue() {
    if [[ ! -e $work/$1.pem ]]; then
        host keygen --key-id "$1" --param-set 1.2.643.7.1.2.1.1.1 --subject "cn=$1" \
            --out "$work/$1.b64" >/dev/null
        { echo "-----BEGIN CERTIFICATE REQUEST-----"; fold -w 64 "$work/$1.b64"; echo
          echo "-----END CERTIFICATE REQUEST-----"; } | grep -v '^$' >"$work/$1.pem"
    fi
    gost x509 -req -in "$work/$1.pem" -CA "$work/ca.pem" -CAkey "$work/ca.key" -set_serial "$2" \
        -days 2 -md_gost12_256 -outform DER -out "$work/cert.der"
    gost x509 -inform DER -in "$work/cert.der" -noout -pubkey >"$work/pubkey.pem"
}

hex() { printf %s "$1" | od -An -tx1 | tr -d ' \n'; }
head -c 70000 /dev/urandom >"$work/data.bin"
random_serial() {  # random_serial FIRST_BYTE_MASK FIRST_BYTE_BITS
    local hex
    hex=$(head -c 20 /dev/urandom | od -An -tx1 | tr -d ' \n')
    printf '0x%02x%s' $(((0x${hex:0:2} & $1) | $2)) "${hex:2}"
}
serials=(0x01 0x7f 0x80 0xff 0x0080 "$(random_serial 0xff 0x80)" "$(random_serial 0x7f 0x01)")
for writer in host pkcs11-tool; do
    for serial in "${serials[@]}"; do
        row="$writer $serial"
        issue serials "$serial"
        if [[ $writer == host ]]; then
            host install "$work/cert.der" --container serials >/dev/null || fail "$row: install"
        else
            p11 --login --pin "$ZOLVEX_PIN" --write-object "$work/cert.der" --type cert \
                --id "$(hex serials)" --label "$serial"
        fi
        expect "serials  certificate: 2.5.4.3=serials" "$(host containers)"
        host sign "$work/data.bin" --cert serials --out "$work/data.sig" >/dev/null ||
            fail "$row: sign"
        perl -0777 -ne 'print scalar reverse $_' "$work/data.sig" >"$work/raw.sig"
        gost dgst -md_gost12_256 -verify "$work/pubkey.pem" -signature "$work/raw.sig" \
            "$work/data.bin" | grep -q "Verified OK" || fail "$row: the signature does not verify"
        expect "deleted certificate" "$(host delete-cert serials)"
        expect "0 certificate(s)" "$(host certificates)"
    done
done

# Two key pairs whose public keys swap CKA_ID: the certificate of one leads to the other's
# private key, and what the token signs would verify under the wrong certificate.
issue alice 0x0a && host install "$work/cert.der" --container alice >/dev/null
issue bob 0x0b && host install "$work/cert.der" --container bob >/dev/null
p11 --login --pin "$ZOLVEX_PIN" --type pubkey --id "$(hex alice)" --set-id "$(hex swap)"
p11 --login --pin "$ZOLVEX_PIN" --type pubkey --id "$(hex bob)" --set-id "$(hex alice)"
p11 --login --pin "$ZOLVEX_PIN" --type pubkey --id "$(hex swap)" --set-id "$(hex bob)"
if host sign "$work/data.bin" --cert alice --out "$work/swapped.sig" 2>"$work/err"; then
    fail "signed with the other key pair's private key"
fi
expect "30057" "$(cat "$work/err")"
if host sign "$work/data.bin" --cert alice --format cms --out "$work/swapped.p7s" 2>"$work/err"
then
    fail "a CMS signature with the other key pair's private key"
fi
expect "does not verify with the signer's certificate" "$(cat "$work/err")"
[[ ! -e $work/swapped.sig && ! -e $work/swapped.p7s ]] || fail "a file for a refused signature"
echo "real certificates: passed"
