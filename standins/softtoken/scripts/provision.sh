#!/bin/sh
# Provisions software tokens for demos and tests with OpenSC's pkcs11-tool.
#
#   provision.sh DIR [SLOT...]
#
# DIR becomes a token folder (ZOLVEX_SOFTTOKEN_DIR); each SLOT (default 0) gets an
# initialised token labelled "ZOLVEX <slot>" with SO PIN 87654321 and user PIN 12345678.
# Slots missing from DIR/softtoken.ini are added with the default model.
#
# Environment: SOFTTOKEN_MODULE  path of voxa_pkcs11_main.so (required unless installed)
#              SOFTTOKEN_PRELOAD libraries to preload into pkcs11-tool (sanitizer builds)
#              SO_PIN, USER_PIN  override the PINs
set -eu

# The installed copy (zolvex-softtoken-provision) finds the library from its own folder; the
# install step fills in the relative path.
installed_module=$(dirname "$0")/@KELVO_VENDOR_DIR_FROM_BINDIR@/voxa_pkcs11_main.so
SOFTTOKEN_MODULE=${SOFTTOKEN_MODULE:-$installed_module}
if [ $# -lt 1 ] || [ ! -f "$SOFTTOKEN_MODULE" ]; then
    echo "usage: [SOFTTOKEN_MODULE=/path/voxa_pkcs11_main.so] $0 DIR [SLOT...]" >&2
    exit 2
fi
dir=$1
shift
[ $# -gt 0 ] || set -- 0
so_pin=${SO_PIN:-87654321}
user_pin=${USER_PIN:-12345678}

mkdir -p -m 700 "$dir"  # the token folder is private
ZOLVEX_SOFTTOKEN_DIR=$(cd "$dir" && pwd)
export ZOLVEX_SOFTTOKEN_DIR
config=$ZOLVEX_SOFTTOKEN_DIR/softtoken.ini
for slot in "$@"; do
    if ! grep -qs "^\[slot\.$slot\]" "$config"; then
        printf '[slot.%s]\nmodel = ZOLVEXToken GOST\n\n' "$slot" >>"$config"
    fi
done

tool() {
    LD_PRELOAD="${SOFTTOKEN_PRELOAD:-}" ASAN_OPTIONS=detect_leaks=0 \
        pkcs11-tool --module "$SOFTTOKEN_MODULE" "$@"
}

for slot in "$@"; do
    tool --slot "$slot" --init-token --label "ZOLVEX $slot" --so-pin "$so_pin" >/dev/null
    tool --slot "$slot" --init-pin --so-pin "$so_pin" --pin "$user_pin" >/dev/null
    echo "slot $slot: initialised in $ZOLVEX_SOFTTOKEN_DIR"
done
