#!/usr/bin/env bash
# Makes the test certificates of the X.509 reader with the openssl command and the GOST
# engine, and records what the openssl tool reports about each one in <name>.expected.
# Every certificate is written as DER, as PEM with CRLF line ends and as bare Base64.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ossl() { openssl "$@" -engine gost 2>/dev/null; }

cat >"$work/certs.cnf" <<'CNF'
[req_ee]
distinguished_name = subject_ee
prompt = no
string_mask = utf8only

[req_ca]
distinguished_name = subject_ca
prompt = no
string_mask = utf8only

[req_2001]
distinguished_name = subject_2001
prompt = no
string_mask = utf8only

[req_same_key]
distinguished_name = subject_same_key
prompt = no
string_mask = utf8only

[req_rsa]
distinguished_name = subject_rsa
prompt = no

[subject_ee]
C = RU
ST = 77 г. Москва
L = Москва
street = ул. Тестовая, д. 1
O = ООО \"Ромашка\"
OU = Отдел разработки
title = Директор
CN = Иванов Иван Иванович
SN = Иванов
GN = Иван Иванович
emailAddress = ivanov@example.ru
0.1.2.643.100.3 = 12345678901
0.1.2.643.3.131.1.1 = 771234567890
0.1.2.643.100.1 = 1027700132195
0.1.2.643.100.4 = 7712345678

[subject_ca]
C = RU
L = Москва
O = Тестовый УЦ
CN = Тестовый УЦ ГОСТ 2012
0.1.2.643.100.1 = 1027700000001
0.1.2.643.3.131.1.1 = 007700000001
0.1.2.643.3.61.502710.1.7 = 770001001

# Two identical entries on purpose.
[subject_2001]
C = RU
0.CN = Test
1.CN = Test
O = ГОСТ 2001

[subject_same_key]
C = RU
CN = Тот же ключ

[subject_rsa]
C = RU
CN = RSA test

[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
1.2.643.100.111 = ASN1:FORMAT:UTF8,UTF8String:Тестовый УЦ

[ee_ext]
keyUsage = critical, digitalSignature, nonRepudiation, keyEncipherment, decipherOnly
extendedKeyUsage = clientAuth, emailProtection, 1.2.643.2.2.34.6
1.2.643.100.111 = ASN1:FORMAT:UTF8,UTF8String:СКЗИ "Тест-КС1"
1.2.643.100.112 = ASN1:SEQUENCE:issuer_sign_tool
2.5.29.16 = ASN1:SEQUENCE:key_period
1.2.643.2.2.49.2 = ASN1:NULL

[issuer_sign_tool]
sign_tool = FORMAT:UTF8,UTF8String:Средство ЭП "Тест"
ca_tool = FORMAT:UTF8,UTF8String:Средство УЦ "Тест"
sign_tool_cert = FORMAT:UTF8,UTF8String:Сертификат СФ/124-0001
ca_tool_cert = FORMAT:UTF8,UTF8String:Сертификат СФ/128-0002

[key_period]
not_before = IMPLICIT:0,GENTIME:20240101000000Z
not_after = IMPLICIT:1,GENTIME:20250630120000Z

# The sign tool comes first; the key period has a start only.
[ext_2001]
1.2.643.100.111 = ASN1:FORMAT:UTF8,UTF8String:КриптоСредство 2001
keyUsage = digitalSignature
2.5.29.16 = ASN1:SEQUENCE:key_period_start

[key_period_start]
not_before = IMPLICIT:0,GENTIME:20230315083000Z

[ext_same_key]
subjectKeyIdentifier = hash
CNF
cnf="$work/certs.cnf"

ossl genpkey -algorithm gost2001 -pkeyopt paramset:A -out "$work/gost2001.key"
ossl genpkey -algorithm gost2012_256 -pkeyopt paramset:B -out "$work/gost2012_256.key"
ossl genpkey -algorithm gost2012_512 -pkeyopt paramset:A -out "$work/gost2012_512.key"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out "$work/rsa.key" 2>/dev/null

# Self-signed GOST 2012-512 CA.
ossl req -x509 -new -utf8 -config "$cnf" -section req_ca -extensions ca_ext \
    -key "$work/gost2012_512.key" -md_gost12_512 -set_serial 0xC0FFEE01 -days 3650 \
    -out "$work/gost2012_512_ca.pem"
# GOST 2012-256 end entity with every extension the reader knows, issued by the CA.
ossl req -new -utf8 -config "$cnf" -section req_ee -key "$work/gost2012_256.key" \
    -md_gost12_256 -out "$work/ee.csr"
ossl x509 -req -in "$work/ee.csr" -CA "$work/gost2012_512_ca.pem" \
    -CAkey "$work/gost2012_512.key" -md_gost12_512 -extfile "$cnf" -extensions ee_ext \
    -set_serial 0x80A1B2C3D4E5F60718293A4B5C6D7E8F -days 730 -out "$work/gost2012_256.pem"
# A second certificate for the same GOST 2012-256 key.
ossl req -x509 -new -utf8 -config "$cnf" -section req_same_key -extensions ext_same_key \
    -key "$work/gost2012_256.key" -md_gost12_256 -set_serial 0x0FEDCBA9 -days 365 \
    -out "$work/gost2012_256_same_key.pem"
# Self-signed GOST 2001 certificate; its serial 0x8F01 is encoded 00 8F 01.
ossl req -x509 -new -utf8 -config "$cnf" -section req_2001 -extensions ext_2001 \
    -key "$work/gost2001.key" -md_gost94 -set_serial 0x8F01 -days 1000 \
    -out "$work/gost2001.pem"
# Version 1 RSA certificate without extensions.
openssl req -new -config "$cnf" -section req_rsa -key "$work/rsa.key" -out "$work/rsa.csr"
openssl x509 -req -in "$work/rsa.csr" -key "$work/rsa.key" -set_serial 0x7F01 -days 365 \
    -out "$work/rsa_v1.pem" 2>/dev/null

# Prints the raw bytes (hex) of a DER value's contents, without its tag and length.
der_contents() {
    local hl
    hl=$(openssl asn1parse -inform DER -in "$1" | head -1 | sed -n 's/.*hl= *\([0-9]*\).*/\1/p')
    tail -c +$((hl + 1)) "$1" | xxd -p | tr -d '\n'
}

# Hex of the value of an extension (the DER inside its OCTET STRING), by the long name
# asn1parse shows for it.
extension_der() {
    { openssl asn1parse -inform DER -in "$1" | grep -A1 ":$2\$" || true; } |
        sed -n 's/.*\[HEX DUMP\]://p'
}

# The line after the one holding the label, without its indentation.
next_line() { { grep -A1 "$1" || true; } | tail -n +2 | sed 's/^ *//'; }

utc() { date -u -d "$1" +%Y%m%dT%H%M%S; }

expectations() {
    local der=$1 text hex line
    text=$(ossl x509 -inform DER -in "$der" -noout -text)
    echo "version=$(sed -n 's/^ *Version: \([0-9]*\) .*/\1/p' <<<"$text")"
    echo "serial=$(ossl x509 -inform DER -in "$der" -noout -serial | sed 's/^serial=//')"
    echo "notBefore=$(utc "$(ossl x509 -inform DER -in "$der" -noout -startdate | cut -d= -f2)")"
    echo "notAfter=$(utc "$(ossl x509 -inform DER -in "$der" -noout -enddate | cut -d= -f2)")"
    echo "sha1=$(ossl x509 -inform DER -in "$der" -noout -fingerprint -sha1 | cut -d= -f2 |
        tr -d ':')"
    echo "subject=$(ossl x509 -inform DER -in "$der" -noout -subject \
        -nameopt sep_semi_plus_space,oid,utf8 | sed 's/^subject=//')"
    echo "issuer=$(ossl x509 -inform DER -in "$der" -noout -issuer \
        -nameopt sep_semi_plus_space,oid,utf8 | sed 's/^issuer=//')"
    echo "signatureAlgorithm=$(grep -m1 'Signature Algorithm:' <<<"$text" | sed 's/.*: //')"
    echo "publicKeyAlgorithm=$(grep -m1 'Public Key Algorithm:' <<<"$text" | sed 's/.*: //')"
    ossl x509 -inform DER -in "$der" -noout -pubkey >"$work/pub.pem"
    local offset
    offset=$(openssl asn1parse -in "$work/pub.pem" | grep 'BIT STRING' | cut -d: -f1 | tr -d ' ')
    openssl asn1parse -in "$work/pub.pem" -strparse "$offset" -noout -out "$work/pub.der"
    echo "publicKey=$(xxd -p "$work/pub.der" | tr -d '\n')"
    echo "keyUsage=$(next_line 'X509v3 Key Usage' <<<"$text")"
    echo "extendedKeyUsage=$(next_line 'X509v3 Extended Key Usage' <<<"$text")"
    hex=$(extension_der "$der" "Signing Tool of Subject")
    if [[ -n $hex ]]; then
        xxd -r -p <<<"$hex" >"$work/tool.der"
        echo "subjectSignTool=$(der_contents "$work/tool.der")"
    else
        echo "subjectSignTool="
    fi
    echo "issuerSignTool=$(extension_der "$der" "Signing Tool of Issuer")"
    line=$(next_line 'Private Key Usage Period' <<<"$text")
    local start="" end=""
    if [[ $line =~ Not\ Before:\ ([^,]*GMT) ]]; then start=$(utc "${BASH_REMATCH[1]}"); fi
    if [[ $line =~ Not\ After:\ (.*GMT) ]]; then end=$(utc "${BASH_REMATCH[1]}"); fi
    echo "privateKeyNotBefore=$start"
    echo "privateKeyNotAfter=$end"
    echo "extension49=$(grep -c '1\.2\.643\.2\.2\.49\.2:' <<<"$text" || true)"
}

for name in gost2012_512_ca gost2012_256 gost2012_256_same_key gost2001 rsa_v1; do
    openssl x509 -in "$work/$name.pem" -outform DER -out "$name.der"
    openssl x509 -inform DER -in "$name.der" -outform PEM | sed 's/$/\r/' >"$name.pem"
    openssl base64 -in "$name.der" -out "$name.b64"
    expectations "$name.der" >"$name.expected"
done
