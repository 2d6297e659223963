#!/bin/sh
# A scripted OpenSC pkcs11-tool session against the software token, checked against the
# openssl command with the GOST engine.
#
#   pkcs11_tool_session.sh MODULE PROVISION_SCRIPT
set -eu

module=$1
provision=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ZOLVEX_SOFTTOKEN_DIR=$work/token
export ZOLVEX_SOFTTOKEN_DIR
# The cheapest PIN key derivation for the many logins below; provision.sh at the end keeps
# the default one. PINs travel in the environment, as env:VARIABLE on the command line.
mkdir -m 700 "$ZOLVEX_SOFTTOKEN_DIR"
printf '[pin]\nkdf-cost = 4\n' >"$ZOLVEX_SOFTTOKEN_DIR/softtoken.ini"
export ZOLVEX_SOFTTOKEN_TEST_KDF=1 SO_PIN=87654321 USER_PIN=12345678

tool() {
    LD_PRELOAD="${SOFTTOKEN_PRELOAD:-}" ASAN_OPTIONS=detect_leaks=0 \
        pkcs11-tool --module "$module" "$@"
}
user() { tool --login --pin env:USER_PIN "$@"; }
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
expect() {  # expect TEXT FILE: FILE contains TEXT
    grep -q -- "$1" "$2" || { cat "$2" >&2; fail "expected '$1'"; }
}
step() { echo "== $*"; }

step "slots and token info"
tool --list-slots >"$work/slots"
expect "uninitialized" "$work/slots"
tool --init-token --label "session test" --so-pin env:SO_PIN >/dev/null
tool --init-pin --so-pin env:SO_PIN --pin env:USER_PIN >/dev/null
tool --list-token-slots >"$work/tokeninfo"
expect "token model        : ZOLVEXToken GOST" "$work/tokeninfo"
expect "token label        : session test" "$work/tokeninfo"
expect "PIN initialized" "$work/tokeninfo"

step "key pair generation"
user --keypairgen --key-type GOSTR3410-2012-256:A --id 01 --label k256 >"$work/gen256"
expect "Public Key Object; GOSTR3410-2012-256" "$work/gen256"
user --keypairgen --key-type GOSTR3410-2012-512:A --id 02 --label k512 >"$work/gen512"
expect "Public Key Object; GOSTR3410-2012-512" "$work/gen512"

step "certificate"
openssl req -engine gost -x509 -newkey gost2012_256 -pkeyopt paramset:A -nodes \
    -keyout "$work/cert.key" -subj "/CN=softtoken session" -days 30 \
    -outform DER -out "$work/cert.der" 2>/dev/null
user --write-object "$work/cert.der" --type cert --id 01 --label cert >/dev/null
user --list-objects >"$work/objects"
expect "Certificate Object; type = X.509 cert" "$work/objects"
expect "subject:    DN: CN=softtoken session" "$work/objects"
expect "Private Key Object; GOSTR3410-2012-512" "$work/objects"
tool --list-objects >"$work/public"
if grep -q "Private Key Object" "$work/public"; then
    fail "private keys visible without login"
fi

step "hash"
head -c 1000000 /dev/urandom >"$work/data"
tool --hash --mechanism GOSTR3411-12-256 --input-file "$work/data" --output-file "$work/hash"
token_hash=$(od -An -v -tx1 "$work/hash" | tr -d ' \n')
openssl_hash=$(openssl dgst -engine gost -md_gost12_256 -r "$work/data" 2>/dev/null | cut -d' ' -f1)
[ "$token_hash" = "$openssl_hash" ] || fail "hash $token_hash != openssl $openssl_hash"

step "sign and verify"
user --sign --mechanism GOSTR3410-WITH-GOSTR3411-12-256 --id 01 \
    --input-file "$work/data" --output-file "$work/sig" >/dev/null
[ "$(wc -c <"$work/sig")" -eq 64 ] || fail "signature length"
user --verify --mechanism GOSTR3410-WITH-GOSTR3411-12-256 --id 01 \
    --input-file "$work/data" --signature-file "$work/sig" >"$work/verify"
expect "Signature is valid" "$work/verify"
printf 'x' >>"$work/data"
user --verify --mechanism GOSTR3410-WITH-GOSTR3411-12-256 --id 01 \
    --input-file "$work/data" --signature-file "$work/sig" >"$work/verify" 2>&1 || true
expect "Invalid signature" "$work/verify"

step "random"
tool --generate-random 32 --output-file "$work/random"
[ "$(wc -c <"$work/random")" -eq 32 ] || fail "random length"

step "delete objects"
user --delete-object --type cert --id 01 >/dev/null
user --delete-object --type pubkey --id 02 >/dev/null
user --list-objects >"$work/objects"
if grep -q "Certificate Object" "$work/objects"; then
    fail "certificate still present"
fi
expect "Private Key Object; GOSTR3410-2012-512" "$work/objects"

step "pkcs11-tool --test"
user --test >"$work/test" 2>&1 || { cat "$work/test" >&2; fail "pkcs11-tool --test"; }
expect "No errors" "$work/test"

step "provision.sh with its defaults: random PINs, none on a command line"
# pkcs11-tool behind a shim that records its command lines.
mkdir "$work/bin"
printf '#!/bin/sh\necho "$*" >>"%s/argv"\nexec %s "$@"\n' "$work" "$(command -v pkcs11-tool)" \
    >"$work/bin/pkcs11-tool"
chmod +x "$work/bin/pkcs11-tool"
unset ZOLVEX_SOFTTOKEN_TEST_KDF SO_PIN USER_PIN
PATH=$work/bin:$PATH SOFTTOKEN_MODULE=$module PIN_OUTPUT=$work/pins \
    "$provision" "$work/demo" 0 3 >"$work/provision.out"
[ "$(stat -c %a "$work/pins")" = 600 ] || fail "PIN file not private"
[ "$(wc -l <"$work/pins")" -eq 2 ] || fail "PIN file"
if grep -q "PIN [A-Za-z0-9]" "$work/provision.out"; then
    fail "PINs shown although written to a file"
fi
export ZOLVEX_SOFTTOKEN_DIR=$work/demo
tool --list-token-slots >"$work/demo-slots"
expect "Slot 1 (0x3)" "$work/demo-slots"
expect "token label        : ZOLVEX 3" "$work/demo-slots"
[ "$(grep -c 'PIN initialized' "$work/demo-slots")" -eq 2 ] || fail "provisioned slots"
SO_PIN=$(sed -n 's/^slot 0: SO PIN \([^,]*\),.*/\1/p' "$work/pins")
USER_PIN=$(sed -n 's/^slot 0: .*user PIN \(.*\)$/\1/p' "$work/pins")
export SO_PIN USER_PIN
for pin in "$SO_PIN" "$USER_PIN"; do
    [ ${#pin} -eq 16 ] || fail "random PIN"
    if grep -q -- "$pin" "$work/argv"; then
        fail "a PIN on pkcs11-tool's command line"
    fi
done
user --list-objects >/dev/null || fail "the generated user PIN"
export REPO_SO_PIN=87654321 REPO_USER_PIN=12345678
for login in "--login-type so --so-pin env:REPO_SO_PIN" "--pin env:REPO_USER_PIN"; do
    # shellcheck disable=SC2086
    if tool --slot 0 --login $login --list-objects >/dev/null 2>&1; then
        fail "a PIN of the repository opened the token ($login)"
    fi
done
step "provision.sh refuses a planted PIN file link and a folder not its own"
ln -s "$work/planted" "$work/pins-link"
mkdir -m 700 "$work/foreign"
ln -s "$work/planted" "$work/foreign/softtoken.ini"
if [ "$(id -u)" -eq 0 ]; then chown 65534 "$work/foreign"; else chmod 755 "$work/foreign"; fi
if env SOFTTOKEN_MODULE="$module" PIN_OUTPUT="$work/pins-link" "$provision" "$work/new" \
    2>/dev/null || env SOFTTOKEN_MODULE="$module" "$provision" "$work/foreign" 2>/dev/null; then
    fail "provision.sh accepted a planted name"
fi
[ ! -e "$work/planted" ] && [ ! -e "$work/new" ] || fail "provision.sh followed a planted link"
echo "all steps passed"
