# Sourced by the demo and the host's end-to-end test.
#
#   make_token WORK STANDINS
#
# Provisions a software token (user PIN 12345678) in WORK/token with the software token
# library STANDINS/voxa_pkcs11_main.so, and registers the ZOLVEX drivers for this shell only:
# the module reads the vendor's registry key as Qt's system-scope settings of "VOXA CORP",
# "PKCS11", which live under $XDG_CONFIG_DIRS. With a sub-key there no installation prompt
# comes up.
make_token() {
    local work=$1 bin=$2
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    export ZOLVEX_SOFTTOKEN_DIR=$work/token
    export XDG_CONFIG_DIRS=$work/xdg
    mkdir -p "$XDG_CONFIG_DIRS/VOXA CORP"
    printf '[ZOLVEXToken]\nInstalled=1\n' >"$XDG_CONFIG_DIRS/VOXA CORP/PKCS11.conf"
    export ZOLVEX_PIN=${ZOLVEX_PIN:-12345678}
    # A throwaway token with known PINs, handed over in the environment.
    SO_PIN=87654321 USER_PIN=$ZOLVEX_PIN SOFTTOKEN_MODULE=$bin/voxa_pkcs11_main.so \
        "$root/standins/softtoken/scripts/provision.sh" "$ZOLVEX_SOFTTOKEN_DIR" 0 >/dev/null
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
}
