# shellcheck shell=bash
# Sourced by the host's shell tests: a fresh token to test against, failing with a message,
# and looking for a text.

# token_test STANDINS_DIR: sets bin (the stand-ins' folder: zolvex-host, the software token,
# the key engine) and work (a folder removed on exit) and provisions a software token there
# (scripts/demo/token_env.sh).
token_test() {
    bin=$(cd "$1" && pwd)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # shellcheck source=../../../scripts/demo/token_env.sh
    source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/demo/token_env.sh"
    make_token "$work" "$bin"
}

fail() { echo "FAILED: $*" >&2; exit 1; }
expect() {  # expect TEXT OUTPUT
    grep -qF -- "$1" <<<"$2" || fail "expected \"$1\" in:"$'\n'"$2"
}
