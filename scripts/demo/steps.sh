#!/usr/bin/env bash
# The demo's steps through the command-line host against a fresh software token:
# key pair and request, a certificate from a throwaway GOST CA, installation, signing a
# 10 MB file on the token (the module's raw signature, then CMS), verification with OpenSSL,
# GnuTLS and the host, clean-up.
#
#   steps.sh STANDINS_DIR OUT_DIR
#
# STANDINS_DIR holds zolvex-host, voxa_pkcs11_main.so and rtengine.so (the host finds the
# plug-in on its own); OUT_DIR receives
# request.b64, ca.pem, cert.der, data.bin, data.sig, digest.bin and data.p7s. Exits 77 when the token
# module cannot generate keys yet.
set -euo pipefail
bin=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=token_env.sh
source "$here/token_env.sh"
make_token "$work" "$bin"

step() { printf '\n\033[1m==> %s\033[0m\n' "$*"; }
show() {  # prints the command as a user would type it, then runs it
    printf '$ %s\n' "$*" | sed "s|$bin/||g; s|$out/||g; s|$work/||g"
    "$@"
}
host() { show "$bin/zolvex-host" "$@"; }
gost() { local command=$1; shift; openssl "$command" -engine gost "$@" 2>/dev/null; }

step "1. The token the host sees"
host devices

# The CryptoPro A curve: GnuTLS, one of the verifiers below, knows no twisted Edwards curve.
step "2. A GOST R 34.10-2012 (256-bit) key pair on the token and its PKCS#10 request"
if ! host keygen --key-id demo-key --param-set 1.2.643.2.2.35.1 \
    --subject "cn=Demo User;o=Kelvo Demo;l=Moscow;c=RU" \
    --key-usage digitalSignature,nonRepudiation --eku 1.3.6.1.5.5.7.3.4 \
    --out "$out/request.b64" 2>"$work/keygen.err"; then
    cat "$work/keygen.err" >&2
    grep -q "20013" "$work/keygen.err" && exit 77
    exit 1
fi
{
    echo "-----BEGIN CERTIFICATE REQUEST-----"
    fold -w 64 "$out/request.b64"
    echo
    echo "-----END CERTIFICATE REQUEST-----"
} | grep -v '^$' >"$work/request.pem"
show openssl req -in "$work/request.pem" -noout -subject -verify -engine gost 2>&1 |
    grep -v '^Engine'

step "3. A throwaway test CA issues the certificate"
gost req -x509 -newkey gost2012_256 -pkeyopt paramset:A -nodes -keyout "$work/ca.key" \
    -subj "/CN=Kelvo Demo Test CA/O=Kelvo Demo" -md_gost12_256 -days 30 -out "$out/ca.pem"
gost x509 -req -in "$work/request.pem" -CA "$out/ca.pem" -CAkey "$work/ca.key" \
    -set_serial 0x4b454c564f01 -days 30 -md_gost12_256 -copy_extensions copy \
    -outform DER -out "$out/cert.der"
show openssl x509 -inform DER -in "$out/cert.der" -noout -subject -issuer -serial -engine gost \
    2>&1 | grep -v '^Engine'

step "4. Install the certificate into the key pair's container"
host install "$out/cert.der" --container demo-key

step "5. Certificates and containers on the token"
host certificates
host containers

step "6. Sign a 10 MB file on the token"
head -c 10485760 /dev/urandom >"$out/data.bin"
host sign "$out/data.bin" --cert demo-key --out "$out/data.sig" --digest-out "$out/digest.bin"

step "7. Verify with OpenSSL alone"
# The module hands the token's signature out byte-reversed; reversed back it is the raw
# GOST R 34.10-2012 signature (s then r, big-endian) that OpenSSL's GOST engine verifies.
# "openssl dgst -verify" digests data.bin itself, so the check does not rest on digest.bin;
# digest.bin is compared with OpenSSL's digest separately. (pkeyutl over the digest aborts
# in the engine when the key comes from a PEM file.)
perl -0777 -ne 'print scalar reverse $_' "$out/data.sig" >"$work/data.sig.raw"
gost x509 -inform DER -in "$out/cert.der" -noout -pubkey >"$work/pubkey.pem"
gost dgst -md_gost12_256 -binary "$out/data.bin" >"$work/openssl-digest.bin"
show cmp "$out/digest.bin" "$work/openssl-digest.bin" || exit 1
echo "digest.bin equals OpenSSL's own GOST R 34.11-2012 digest of data.bin"
show openssl dgst -engine gost -md_gost12_256 -verify "$work/pubkey.pem" \
    -signature "$work/data.sig.raw" "$out/data.bin" 2>&1 | grep -v '^Engine'

step "8. Sign the same file as CMS (CAdES-BES) on the token: one pass over the data"
host sign "$out/data.bin" --format cms --cert demo-key --out "$out/data.p7s"

step "9. Verify the CMS signature with OpenSSL, GnuTLS and the host"
show openssl cms -verify -engine gost -binary -inform DER -in "$out/data.p7s" \
    -content "$out/data.bin" -CAfile "$out/ca.pem" -out /dev/null 2>&1 | grep -v '^Engine'
show certtool --p7-verify --inder --infile "$out/data.p7s" --load-data "$out/data.bin" \
    --load-ca-certificate "$out/ca.pem" 2>&1 | grep -E "^[$] |Signer's|Signing time|status"
host verify "$out/data.p7s" --content "$out/data.bin" --ca "$out/ca.pem"

step "10. Delete the certificate and the container"
host delete-cert demo-key
host delete-container demo-key
host containers
