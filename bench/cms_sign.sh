#!/usr/bin/env bash
# CMS signing of a large file through the command-line host, timed against one OpenSSL digest
# pass over the same file, with the raw signature's two passes beside it, and the signing
# host's peak memory at two file sizes. Prints a Markdown section.
#
#   bench/cms_sign.sh STANDINS_DIR [BYTES]      (BYTES default 1 GiB)
#
# STANDINS_DIR holds a Release build's zolvex-host, voxa_pkcs11_main.so and rtengine.so. The
# token's PIN key derivation is the cheap one of the speed figures (kdf-cost 4): the login is
# a fixed cost, shown on its own line.
set -euo pipefail
bin=$(cd "$1" && pwd)
bytes=${2:-1073741824}
small=$((64 << 20))
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -m 700 "$work/token"
printf '[slot.0]\nmodel = ZOLVEXToken GOST\nkdf-cost = 4\n' >"$work/token/softtoken.ini"
export ZOLVEX_SOFTTOKEN_TEST_KDF=1
# shellcheck source=../scripts/demo/token_env.sh
source "$root/scripts/demo/token_env.sh"
make_token "$work" "$bin"
cd "$work"

host() { "$bin/zolvex-host" --no-progress "$@"; }
gost() { local command=$1; shift; openssl "$command" -engine gost "$@" 2>/dev/null; }
host keygen --key-id bench --param-set 1.2.643.2.2.35.1 --subject "cn=CMS Bench" \
    --out bench.b64 >/dev/null
{ echo "-----BEGIN CERTIFICATE REQUEST-----"; fold -w 64 bench.b64; echo
  echo "-----END CERTIFICATE REQUEST-----"; } | grep -v '^$' >bench.csr
gost req -x509 -newkey gost2012_256 -pkeyopt paramset:A -nodes -keyout ca.key \
    -subj "/CN=CMS Bench CA" -md_gost12_256 -days 30 -out ca.pem
gost x509 -req -in bench.csr -CA ca.pem -CAkey ca.key -set_serial 1 -days 30 -md_gost12_256 \
    -out bench.pem
host install bench.pem --container bench >/dev/null

head -c "$bytes" /dev/urandom >data.bin
head -c "$small" data.bin >small.bin
head -c 1 data.bin >byte.bin

# measure NAME COMMAND...: the best wall time of three runs and its peak resident memory
# (KiB), as "seconds kib" in NAME.
measure() {
    local name=$1 best='' kib=''
    shift
    for _ in 1 2 3; do
        /usr/bin/time -f '%e %M' -o time.out "$@" >/dev/null 2>&1
        read -r seconds memory <time.out
        if [[ -z $best ]] || (($(echo "$seconds < $best" | bc))); then
            best=$seconds kib=$memory
        fi
    done
    echo "$best $kib" >"$name"
}
measure dgst openssl dgst -engine gost -md_gost12_256 data.bin
measure cms "$bin/zolvex-host" --no-progress sign data.bin --format cms --cert bench --out cms.sig
measure raw "$bin/zolvex-host" --no-progress sign data.bin --cert bench --out raw.sig
measure fixed "$bin/zolvex-host" --no-progress sign byte.bin --format cms --cert bench \
    --out byte.sig
measure small "$bin/zolvex-host" --no-progress sign small.bin --format cms --cert bench \
    --out small.sig
gost cms -verify -binary -inform DER -in cms.sig -content data.bin -CAfile ca.pem \
    -out /dev/null || { echo "the benchmark's CMS signature does not verify" >&2; exit 1; }

read -r dgst _ <dgst
read -r cms cms_kib <cms
read -r raw _ <raw
read -r fixed _ <fixed
read -r _ small_kib <small
mib=$((bytes >> 20))
speed() { echo "scale=1; $mib / $1" | bc; }
ratio() { echo "scale=3; $1 / $2" | bc | sed 's/^\./0./'; }
met() { (($(echo "$1" | bc))) && echo "goal met" || echo "goal missed"; }
whole=$(ratio "$dgst" "$cms")
pass=$(ratio "$dgst" "$(echo "$cms - $fixed" | bc)")
growth=$(echo "scale=2; ($cms_kib - $small_kib) / 1024" | bc | sed 's/^\./0./; s/^-\./-0./')
cat <<MARKDOWN
### Signing ${mib} MiB through the host: CMS in one pass, raw in two

| what | time, s | speed |
|---|---|---|
| \`openssl dgst -engine gost -md_gost12_256\`, one pass | $dgst | $(speed "$dgst") MiB/s |
| \`zolvex-host sign --format cms\` (CAdES-BES, detached DER), whole command | $cms | $(speed "$cms") MiB/s |
| \`zolvex-host sign\` (raw: digest, then hash-and-sign), whole command | $raw | $(speed "$raw") MiB/s |
| the CMS command on a 1-byte file (start-up, login, signature) | $fixed | |

| ratio | value | goal |
|---|---|---|
| CMS signing / one OpenSSL pass, whole command | $whole ($(met "$whole >= 0.9")) | >= 0.9 |
| CMS signing / one OpenSSL pass, the data's pass alone | $pass | |
| raw signing / one OpenSSL pass, whole command | $(ratio "$dgst" "$raw") | (two passes) |

| peak resident memory, CMS signing | $((small >> 20)) MiB file | $mib MiB file | growth | goal |
|---|---|---|---|---|
| \`zolvex-host sign --format cms\` | $((small_kib / 1024)) MiB | $((cms_kib / 1024)) MiB | $growth MiB | < 4 MiB ($(met "$growth < 4")) |
MARKDOWN
