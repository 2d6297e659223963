#!/usr/bin/env bash
# CMS signatures both ways: what the host signs on the token verifies with OpenSSL and
# GnuTLS, the host's verify accepts what they sign, and each tampered file is refused by the
# host with its reason and by OpenSSL.
#   cms_signatures.sh STANDINS_DIR
set -euo pipefail
# shellcheck source=checks.sh
source "$(dirname "$0")/checks.sh"
token_test "$1"
cd "$work"

host() { "$bin/zolvex-host" --no-progress "$@"; }
gost() { local command=$1; shift; openssl "$command" -engine gost "$@" 2>/dev/null; }
issue() {  # issue REQUEST CA SERIAL DAYS OUT [x509 options]: a certificate from CA.pem/CA.key
    gost x509 -req -in "$1" -CA "$2.pem" -CAkey "$2.key" -set_serial "$3" -days "$4" \
        -md_gost12_256 -out "$5" "${@:6}"
}
key_and_request() {  # key_and_request NAME: NAME.key and NAME.csr, a software key
    gost req -newkey gost2012_256 -pkeyopt paramset:A -nodes -keyout "$1.key" \
        -subj "/CN=$1" -out "$1.csr"
}
token_key() {  # token_key ID PARAM_SET SERIAL: a key pair on the token, its certificate installed
    host keygen --key-id "$1" --param-set "$2" --subject "cn=$1" \
        --key-usage digitalSignature,nonRepudiation --out "$1.b64" >/dev/null
    { echo "-----BEGIN CERTIFICATE REQUEST-----"; fold -w 64 "$1.b64"; echo
      echo "-----END CERTIFICATE REQUEST-----"; } | grep -v '^$' >"$1.csr"
    issue "$1.csr" inter "$3" 30 "$1.pem"
    host install "$1.pem" --container "$1" >/dev/null
}

# A root, an intermediate (both from five days ago), a stranger's CA; signers on the token
# (256 and 512 bits, on curves GnuTLS knows too) and in software, the software one also with
# a twin certificate (same key, issuer and serial), one that had expired before it signed and
# one valid only from three days ago to yesterday. faketime sets the clock back.
days_ago() { date -u -d "-$1 days" '+%Y-%m-%d %H:%M:%S'; }
for name in root other; do
    faketime "$(days_ago 5)" openssl req -x509 -engine gost -newkey gost2012_256 \
        -pkeyopt paramset:A -nodes -keyout "$name.key" -subj "/CN=$name" -md_gost12_256 \
        -days 30 -out "$name.pem" 2>/dev/null
done
key_and_request inter
printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=keyCertSign\n' >ca.ext
faketime "$(days_ago 5)" bash -c "$(declare -f gost issue); issue inter.csr root 1 30 inter.pem \
    -extfile ca.ext"
key_and_request soft
issue soft.csr inter 2 30 soft.pem
issue soft.csr inter 2 20 soft-twin.pem
issue soft.csr inter 3 -1 soft-expired.pem
faketime "$(days_ago 3)" bash -c "$(declare -f gost issue); issue soft.csr inter 4 2 soft-past.pem"
token_key token256 1.2.643.2.2.35.1 0x4b01
token_key token512 1.2.643.7.1.2.1.2.1 0x4b02
head -c 3000000 /dev/urandom >data.bin

# Interoperability: every file verified by the host, OpenSSL and GnuTLS.
host sign data.bin --format cms --cert token256 --chain inter.pem --out host.der >/dev/null
host sign data.bin --format cms --cert token256 --chain inter.pem --attached --out host-in.der \
    >/dev/null
host sign data.bin --format cms --cert token256 --chain inter.pem --pem --out host.pem >/dev/null
host sign - --format cms --cert token512 --chain inter.pem --attached --pem --out host-in.pem \
    <data.bin >/dev/null
cat soft.pem inter.pem >soft-chain.pem
gost cms -sign -binary -cades -nosmimecap -md md_gost12_256 -signer soft.pem -inkey soft.key \
    -certfile inter.pem -in data.bin -outform DER -out openssl.der
certtool --p7-sign --p7-time --hash STREEBOG-256 --load-privkey soft.key \
    --load-certificate soft-chain.pem --infile data.bin --outfile certtool.pem 2>/dev/null
interop="host.der         DER detached
host-in.der      DER attached
host.pem         PEM detached
host-in.pem      PEM attached
openssl.der      DER detached
certtool.pem     PEM attached"
while read -r file form layout; do
    content=() && data=() && [[ $layout == detached ]] && content=(--content data.bin) &&
        data=(--load-data data.bin)
    expect "signature valid" "$(host verify "$file" "${content[@]}" --ca root.pem 2>&1)"
    gost cms -verify -binary -inform "$form" -in "$file" "${content[@]/--content/-content}" \
        -CAfile root.pem -out "$file.content" || fail "OpenSSL refused $file"
    cmp -s "$file.content" data.bin || fail "OpenSSL's content of $file differs"
    inder=() && [[ $form == DER ]] && inder=(--inder)
    expect "Signature status: ok" "$(certtool --p7-verify "${inder[@]}" --infile "$file" \
        "${data[@]}" --load-ca-certificate root.pem 2>&1)"
done <<<"$interop"

# The chain is judged at the signing time: two days ago, soft-past.pem was valid.
signed_at=$(days_ago 2)
sign_then() {  # sign_then CERTIFICATE OUT: a software signature made two days ago
    faketime "$signed_at" openssl cms -sign -engine gost -binary -cades -nosmimecap \
        -md md_gost12_256 -signer "$1" -inkey soft.key -certfile inter.pem -in data.bin \
        -outform DER -out "$2" 2>/dev/null
}
sign_then soft-past.pem past.der
sign_then soft.pem backdated.der
at_signing=(-attime "$(date -u -d "$signed_at" +%s)")
expect "signature valid" "$(host verify past.der --content data.bin --ca root.pem)"
gost cms -verify -binary -inform DER -in past.der -content data.bin -CAfile root.pem \
    "${at_signing[@]}" -out /dev/null || fail "OpenSSL refused past.der at its signing time"

# The token makes the signature: when it fails, so does the command, leaving no file.
if ZOLVEX_SOFTTOKEN_FAULTS=C_Sign:1:0x30 host sign data.bin --format cms --cert token256 \
    --out failed.der 2>err; then
    fail "CMS signing with a failing token"
fi
expect "token signing failed: 0x30" "$(cat err)"
[[ ! -e failed.der ]] || fail "a signature file from a failed signing"

# CAdES-BES: the four signed attributes, the digest following the key.
printed=$(gost cms -cmsout -print -inform DER -in host.der | sed -n '/signedAttrs:/,$p')
for attribute in contentType messageDigest signingTime id-smime-aa-signingCertificateV2; do
    expect "object: $attribute" "$printed"
done
[[ $(grep -c "object: " <<<"$printed") == 4 ]] || fail "signed attributes: $printed"
expect "1.2.643.7.1.1.2.3" "$(gost cms -cmsout -print -inform PEM -in host-in.pem)"
expect "signer:       CN=token256" "$(host verify host.der --content data.bin --ca root.pem)"

# Tampering: the host names the first reason, and OpenSSL refuses the file too.
flip() {  # flip FILE OFFSET OUT: OUT is FILE with one bit changed at OFFSET
    cp "$1" "$3"
    local byte
    byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
    # shellcheck disable=SC2059 # the format is the byte
    printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$3" bs=1 seek="$2" conv=notrunc status=none
}
flip data.bin 1000 data-flipped.bin
# The last UTCTime is the signing time (the certificates come before the signer); its
# seconds' last digit changes.
time_at=$(openssl asn1parse -inform DER -in host.der | grep UTCTIME | tail -1 | cut -d: -f1)
flip host.der $((time_at + 2 + 11)) attribute-flipped.der
flip host.der $(($(stat -c %s host.der) - 1)) signature-flipped.der
gost cms -sign -binary -cades -nosmimecap -md md_gost12_256 -signer soft.pem -inkey soft.key \
    -nocerts -certfile soft-twin.pem -in data.bin -outform DER -out twin.der
gost cms -sign -binary -cades -nosmimecap -md md_gost12_256 -signer soft-expired.pem \
    -inkey soft.key -certfile inter.pem -in data.bin -outform DER -out expired.der
tampering="host.der              data-flipped.bin the message digest does not match the content
attribute-flipped.der data.bin         the signature over the signed attributes does not verify
signature-flipped.der data.bin         the signature over the signed attributes does not verify
twin.der              data.bin         signingCertificateV2 does not name the certificate
host.der              data.bin         unable to get local issuer certificate
expired.der           data.bin         at the signing time: certificate has expired
backdated.der         data.bin         at the signing time: certificate is not yet valid"
while read -r file content reason; do
    ca=root.pem && [[ $reason == unable* ]] && ca=other.pem
    at=() && [[ $file == backdated.der ]] && at=("${at_signing[@]}")
    status=0
    host verify "$file" --content "$content" --ca "$ca" >/dev/null 2>err || status=$?
    [[ $status == 1 ]] || fail "verify $file with $content, $ca: exit status $status"
    expect "error: signature not valid: " "$(cat err)"
    expect "$reason" "$(cat err)"
    if gost cms -verify -cades -binary -inform DER -in "$file" -content "$content" -CAfile "$ca" \
        "${at[@]}" -out /dev/null; then
        fail "OpenSSL accepted $file with $content, $ca"
    fi
done <<<"$tampering"

status=0
host verify host.der --ca root.pem 2>err || status=$?
[[ $status == 2 ]] || fail "a detached signature without its content: exit status $status"
expect "name the signed file with --content" "$(cat err)"
echo "CMS signatures: passed"
