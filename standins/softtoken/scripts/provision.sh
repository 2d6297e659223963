#!/bin/sh
# Provisions software tokens with OpenSC's pkcs11-tool.
#
#   provision.sh DIR [SLOT...]
#
# DIR becomes a token folder (ZOLVEX_SOFTTOKEN_DIR); each SLOT (default 0) gets an
# initialised token labelled "ZOLVEX <slot>". Slots missing from DIR/softtoken.ini are added
# with the default model.
#
# PINs: without any given, each slot gets a random SO PIN and user PIN, shown once on the
# standard output or, with PIN_OUTPUT, written to that new file (mode 0600) instead; none is
# kept anywhere else. A caller that brings its own PINs (throwaway tokens of demos and tests)
# gives them in SO_PIN and USER_PIN, or in files named by SO_PIN_FILE and USER_PIN_FILE that
# only their owner can read. PINs reach pkcs11-tool through its environment, never its
# command line.
#
# Environment: SOFTTOKEN_MODULE  path of voxa_pkcs11_main.so (required unless installed)
#              SOFTTOKEN_PRELOAD libraries to preload into pkcs11-tool (sanitizer builds)
#              DELIVERY_SO_PIN   SO PIN of a token never initialised (default: the token's)
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

fail() {
    echo "$0: $*" >&2
    exit 1
}

# A PIN from a file only its owner can read or write.
pin_from_file() {
    [ -f "$1" ] && [ -O "$1" ] || fail "$1 is not a PIN file of yours"
    case $(stat -c %a "$1") in
        400 | 600) ;;
        *) fail "$1 is open to other users; chmod 600 '$1'" ;;
    esac
    head -n 1 "$1"
}

random_pin() {
    LC_ALL=C tr -dc 'A-Za-z0-9' </dev/urandom | head -c 16
}

given_so_pin=${SO_PIN:-}
given_user_pin=${USER_PIN:-}
[ -z "${SO_PIN_FILE:-}" ] || given_so_pin=$(pin_from_file "$SO_PIN_FILE")
[ -z "${USER_PIN_FILE:-}" ] || given_user_pin=$(pin_from_file "$USER_PIN_FILE")
unset SO_PIN USER_PIN
if [ -n "${PIN_OUTPUT:-}" ]; then
    # Created once and written through this descriptor only: noclobber refuses an existing
    # name, a link included (a dangling one would otherwise be followed).
    [ ! -L "$PIN_OUTPUT" ] || fail "$PIN_OUTPUT is a symbolic link; name a new file"
    saved_umask=$(umask)
    umask 077
    set -C
    command exec 3>"$PIN_OUTPUT" || fail "$PIN_OUTPUT exists or cannot be created; name a new file"
    set +C
    umask "$saved_umask"
fi

# The token folder is private: one that exists must be a folder of ours, mode 700, not a link.
if [ ! -e "$dir" ] && [ ! -L "$dir" ]; then
    mkdir -m 700 "$dir" || fail "cannot create $dir"
fi
[ -d "$dir" ] && [ ! -L "$dir" ] && [ -O "$dir" ] && [ "$(stat -c %a "$dir")" = 700 ] ||
    fail "$dir must be a folder of yours (not a link) that only you may enter; chmod 700 '$dir'"
ZOLVEX_SOFTTOKEN_DIR=$(cd "$dir" && pwd -P)
export ZOLVEX_SOFTTOKEN_DIR
config=$ZOLVEX_SOFTTOKEN_DIR/softtoken.ini
[ ! -L "$config" ] || fail "$config is a symbolic link"
# The configuration is rewritten through a new temporary file in the checked folder, then
# renamed over the old one: no name is ever opened for appending.
new_config=$ZOLVEX_SOFTTOKEN_DIR/.softtoken.ini.new
rm -f "$new_config"
(
    umask 077
    set -C
    exec 4>"$new_config"
    [ ! -f "$config" ] || cat "$config" >&4
    for slot in "$@"; do
        grep -qs "^\[slot\.$slot\]" "$config" ||
            printf '[slot.%s]\nmodel = ZOLVEXToken GOST\n\n' "$slot" >&4
    done
) || fail "cannot write $new_config"
mv -f "$new_config" "$config"

# Runs pkcs11-tool with the PINs in its environment only (env:VARIABLE on its command line).
tool() {
    LD_PRELOAD="${SOFTTOKEN_PRELOAD:-}" ASAN_OPTIONS=detect_leaks=0 \
        SOFTTOKEN_OLD_SO_PIN=$old_so_pin SOFTTOKEN_SO_PIN=$so_pin SOFTTOKEN_USER_PIN=$user_pin \
        pkcs11-tool --module "$SOFTTOKEN_MODULE" --slot "$slot" "$@" >/dev/null 3>&-
}

for slot in "$@"; do
    old_so_pin=${DELIVERY_SO_PIN:-87654321}
    so_pin=${given_so_pin:-$(random_pin)}
    user_pin=${given_user_pin:-$(random_pin)}
    tool --init-token --label "ZOLVEX $slot" --so-pin env:SOFTTOKEN_OLD_SO_PIN
    if [ "$so_pin" != "$old_so_pin" ]; then
        # Replaces the token key: nothing opens with the delivery SO PIN afterwards.
        tool --login --login-type so --so-pin env:SOFTTOKEN_OLD_SO_PIN --change-pin \
            --new-pin env:SOFTTOKEN_SO_PIN
    fi
    tool --init-pin --so-pin env:SOFTTOKEN_SO_PIN --pin env:SOFTTOKEN_USER_PIN
    echo "slot $slot: initialised in $ZOLVEX_SOFTTOKEN_DIR"
    if [ -z "$given_so_pin" ] || [ -z "$given_user_pin" ]; then
        pins="slot $slot: SO PIN $so_pin, user PIN $user_pin"
        if [ -n "${PIN_OUTPUT:-}" ]; then
            echo "$pins" >&3
        else
            echo "$pins (shown once: keep them safe)"
        fi
    fi
done
if [ -n "${PIN_OUTPUT:-}" ]; then
    exec 3>&-
    echo "PINs written to $PIN_OUTPUT"
fi
