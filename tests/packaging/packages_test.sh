#!/usr/bin/env bash
# The three Debian packages of a build tree: what each holds and declares, then the three
# unpacked into one empty folder and used from there with no option pointing anywhere.
#   packages_test.sh BUILD_DIR CPACK
# Environment: SOFTTOKEN_PRELOAD  sanitizer runtimes for the uninstrumented clients
set -euo pipefail
build=$(cd "$1" && pwd)
cpack=$2
# shellcheck source=../../standins/host/tests/checks.sh
source "$(dirname "$0")/../../standins/host/tests/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && "$cpack" -G DEB -B "$work/packages" >"$work/cpack.log" 2>&1) ||
    fail "cpack: $(cat "$work/cpack.log")"
package() { compgen -G "$work/packages/$1_*.deb" || fail "no package $1"; }
module=$(package zolvex-token-module)
softtoken=$(package zolvex-softtoken)
host=$(package zolvex-host)
contents() { dpkg-deb -c "$1" | grep -o '\./.*'; }

# The product package carries no stand-in.
stand_ins=$(contents "$module" | grep -E 'voxa_pkcs11_main|rtengine|zolvex-host|softtoken' || true)
[[ -z $stand_ins ]] || fail "the module's package holds stand-ins: $stand_ins"
expect "/kelvo/plugins/tokens/libzolvex.so" "$(contents "$module")"
expect "/share/p11-kit/modules/zolvex-softtoken.module" "$(contents "$softtoken")"
for deb in "$module" "$softtoken" "$host"; do
    [[ -n $(dpkg-deb -f "$deb" Depends) ]] || fail "$deb declares no dependencies"
done
expect "zolvex-token-module (= $(dpkg-deb -f "$module" Version))" "$(dpkg-deb -f "$host" Depends)"
expect "libengine-gost-openssl" "$(dpkg-deb -f "$softtoken" Depends)"
expect "not a hardware token" "$(dpkg-deb -f "$softtoken" Description)"

tree=$work/tree
for deb in "$module" "$softtoken" "$host"; do dpkg-deb -x "$deb" "$tree"; done
find_one() { find "$tree" -path "*$1" | grep . || fail "$1 not unpacked"; }
bin=$(dirname "$(find_one /bin/zolvex-host)")
library=$(find_one /voxa/voxa_pkcs11_main.so)
module_file=$(find_one /p11-kit/modules/zolvex-softtoken.module)
expect "module: ${library#"$tree"}" "$(cat "$module_file")"

# A token provisioned by the installed script with the sample configuration (cheap PIN keys);
# the drivers count as installed through the package's registry entry.
export ZOLVEX_SOFTTOKEN_DIR=$work/token
mkdir -m 700 "$ZOLVEX_SOFTTOKEN_DIR"
sed 's/^kdf-cost = .*/kdf-cost = 4/' "$(find_one /examples/softtoken.ini)" \
    >"$ZOLVEX_SOFTTOKEN_DIR/softtoken.ini"
export ZOLVEX_SOFTTOKEN_TEST_KDF=1  # lets the cheap PIN keys of the sample count
SO_PIN=87654321 USER_PIN=12345678 "$bin/zolvex-softtoken-provision" "$ZOLVEX_SOFTTOKEN_DIR" >/dev/null
XDG_CONFIG_DIRS=$(dirname "$(dirname "$(find_one "/VOXA CORP/PKCS11.conf")")")
export XDG_CONFIG_DIRS XDG_RUNTIME_DIR=$work/runtime ZOLVEX_PIN=12345678
mkdir -m 700 "$XDG_RUNTIME_DIR"

expect "device 1: ZOLVEXToken GOST 0000001234" "$("$bin/zolvex-host" devices)"
# A request is signed through the key engine, found beside the unpacked library.
"$bin/zolvex-host" --no-progress keygen --key-id engine --subject cn=Engine \
    --out "$work/request.b64" >/dev/null
[[ -s $work/request.b64 ]] || fail "no request: the key engine was not found"
openssl req -x509 -engine gost -newkey gost2012_256 -pkeyopt paramset:A -nodes \
    -keyout "$work/test.key" -subj "/CN=Packaged" -md_gost12_256 -days 30 \
    -outform DER -out "$work/test.der" 2>/dev/null
expect "installed CN=Packaged into container packaged" \
    "$("$bin/zolvex-host" --no-progress install "$work/test.der" --container packaged)"

# The p11-kit clients are not instrumented: with the sanitizer runtimes preloaded they hang in
# p11-kit's exit handler (a glibc locale lock) once their work is done, so there they are
# stopped after a while and judged by their output.
client() {
    [[ -n ${SOFTTOKEN_PRELOAD:-} ]] || { "$@"; return; }
    local status=0
    LD_PRELOAD=$SOFTTOKEN_PRELOAD ASAN_OPTIONS=detect_leaks=0 timeout -s KILL 15 "$@" ||
        status=$?
    [[ $status == 0 || $status == 137 ]]
}
tokens=$(client p11tool --provider "$library" --list-tokens)
url=$(grep -o 'pkcs11:.*token=ZOLVEX%200.*' <<<"$tokens" | head -n 1) ||
    fail "p11tool lists no token ZOLVEX 0:"$'\n'"$tokens"
certificates=$(GNUTLS_PIN=$ZOLVEX_PIN client p11tool --provider "$library" --login \
    --list-all-certs "$url")
expect "Type: X.509 Certificate" "$certificates"
expect "ID: $(printf packaged | xxd -p | sed 's/../&:/g; s/:$//')" "$certificates"

# p11-kit reads a user's module files as well (never root's): the package's file, pointed at
# the unpacked library, for a user who is not root.
home=$work/home
mkdir -p "$home/.config/pkcs11/modules"
sed "s|^module: |module: $tree|" "$module_file" >"$home/.config/pkcs11/modules/${module_file##*/}"
user=()
if [[ $(id -u) == 0 ]]; then
    chmod -R a+rX "$work"
    chown -R nobody "$home" "$ZOLVEX_SOFTTOKEN_DIR"
    chmod 700 "$ZOLVEX_SOFTTOKEN_DIR"  # the token refuses a folder others may enter
    user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
modules=$(client "${user[@]}" env HOME="$home" p11-kit list-modules)
expect "zolvex-softtoken: $library" "$modules"
expect "token: ZOLVEX 0" "$modules"

echo "packages: contents, dependencies and the unpacked tree checked"
