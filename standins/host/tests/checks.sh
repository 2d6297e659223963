# Sourced by the host's shell tests: failing with a message, and looking for a text.
fail() { echo "FAILED: $*" >&2; exit 1; }
expect() {  # expect TEXT OUTPUT
    grep -qF -- "$1" <<<"$2" || fail "expected \"$1\" in:"$'\n'"$2"
}
