#!/usr/bin/env bash
# A token pulled out and put back under one long-lived host. In one `zolvex-host shell`
# process: a signature before the removal, a failure that writes nothing while the token is
# out, and verifying signatures after putting it back, twice, then once with no call between
# pulling out and putting back; for both answers a dead session gives, with caching on and
# off. `zolvex-host watch` reports the removal and the return.
#   token_removal.sh STANDINS_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d)
shell_pid=
cleanup() {
    [[ -n $shell_pid ]] && kill "$shell_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=../../../scripts/demo/token_env.sh
source "$root/scripts/demo/token_env.sh"
make_token "$work" "$bin"
token=$ZOLVEX_SOFTTOKEN_DIR

host() { "$bin/zolvex-host" --no-progress "$@"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
gost() { local command=$1; shift; openssl "$command" -engine gost "$@" 2>/dev/null; }
# Waits up to 60 s for a file to hold at least COUNT lines matching PATTERN.
await() {  # await FILE PATTERN COUNT
    for _ in $(seq 600); do
        (($(grep -c -- "$2" "$1" 2>/dev/null || true) >= $3)) && return 0
        sleep 0.1
    done
    fail "no \"$2\" (${3}x) in $1:"$'\n'"$(cat "$1")"
}

# A key pair on the token and a certificate for it from a throwaway CA.
host keygen --key-id signer --param-set 1.2.643.7.1.2.1.1.1 --subject "cn=Removal Test" \
    --out "$work/request.b64" >/dev/null
{
    echo "-----BEGIN CERTIFICATE REQUEST-----"
    fold -w 64 "$work/request.b64"
    echo
    echo "-----END CERTIFICATE REQUEST-----"
} | grep -v '^$' >"$work/request.pem"
gost req -x509 -newkey gost2012_256 -pkeyopt paramset:A -nodes -keyout "$work/ca.key" \
    -subj "/CN=Removal Test CA" -md_gost12_256 -days 2 -out "$work/ca.pem"
gost x509 -req -in "$work/request.pem" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
    -set_serial 7 -days 2 -md_gost12_256 -outform DER -out "$work/cert.der"
host install "$work/cert.der" --container signer >/dev/null
gost x509 -inform DER -in "$work/cert.der" -noout -pubkey >"$work/pubkey.pem"
head -c 100000 /dev/urandom >"$work/data.bin"

verify() {  # verify SIGNATURE (as the module returns it, byte-reversed)
    perl -0777 -ne 'print scalar reverse $_' "$1" >"$work/raw.sig"
    gost dgst -md_gost12_256 -verify "$work/pubkey.pem" -signature "$work/raw.sig" \
        "$work/data.bin" | grep -q "Verified OK" || fail "$1 does not verify"
}

# The shell reads its lines from a pipe kept open between them. Background hosts run
# directly, so that $! is the host itself and signals reach it.
start_shell() {
    rm -f "$work/in" && mkfifo "$work/in"
    "$bin/zolvex-host" --no-progress "$@" shell <"$work/in" >"$work/out" 2>"$work/err" &
    shell_pid=$!
    exec 3>"$work/in"
    lines=0
}
run() {  # run STATUS LINE: one shell line and the status it must report
    echo "$2" >&3
    lines=$((lines + 1))
    await "$work/out" "^== exit" "$lines"
    local status
    status=$(grep "^== exit" "$work/out" | sed -n "${lines}p")
    [[ $status == "== exit $1" ]] || fail "\"$2\": $status"$'\n'"$(cat "$work/err")"
}
stop_shell() {
    exec 3>&-
    wait "$shell_pid" || fail "the shell ended with $?"
    shell_pid=
}

sign() { echo "sign $work/data.bin --cert signer --out $work/$1"; }
for answer in 0x32 0xB3; do
    for caching in --cache --no-cache; do
        export ZOLVEX_SOFTTOKEN_DEAD_SESSION=$answer
        start_shell ${caching/--cache/}
        run 0 "$(sign before.sig)"
        verify "$work/before.sig"
        for round in 1 2; do
            touch "$token/removed-0"
            rm -f "$work/out.sig"
            run 1 "$(sign out.sig)"
            [[ ! -e $work/out.sig ]] || fail "a signature written while the token was out"
            rm "$token/removed-0"
            rm -f "$work/back.sig"
            run 0 "$(sign back.sig)"
            verify "$work/back.sig"
        done
        # Out and back in while the host is idle: the next signature still succeeds.
        touch "$token/removed-0" && rm "$token/removed-0"
        run 0 "$(sign silent.sig)"
        verify "$work/silent.sig"
        stop_shell
        grep -q "no token found" "$work/err" || fail "no error while out: $(cat "$work/err")"
        echo "token removal: shell $answer $caching passed"
    done
done

"$bin/zolvex-host" watch --interval 100 >"$work/watch" &
shell_pid=$!
await "$work/watch" "^present:  ZOLVEXToken GOST 0000001234 (slot 0)" 1
touch "$token/removed-0"
await "$work/watch" "^removed:  ZOLVEXToken GOST 0000001234 (slot 0)" 1
rm "$token/removed-0"
await "$work/watch" "^inserted: ZOLVEXToken GOST 0000001234 (slot 0)" 1
kill -INT "$shell_pid"
wait "$shell_pid" || fail "watch ended with $?"
shell_pid=
echo "token removal: passed"
