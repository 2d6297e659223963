#!/usr/bin/env bash
# The user PIN on its ways into the host: refused on the command line, read from a private
# file, taken out of the environment before a child process could inherit it, and asked on a
# terminal before the data is read, again after a wrong PIN, until the token locks.
#   pin_dialogue.sh STANDINS_DIR PLUGIN_DIR
set -euo pipefail
# shellcheck source=checks.sh
source "$(dirname "$0")/checks.sh"
token_test "$1"
plugins=$(cd "$2" && pwd)
unset ZOLVEX_PIN  # each case hands the PIN over its own way

pin=12345678
host() { "$bin/zolvex-host" --no-progress "$@"; }
# Runs the host on a terminal of its own; the steps answer its prompts (see pty_session.cpp).
terminal() { "$bin/pty_session" "$@"; }
prompt="(empty to cancel): "

# On the command line the PIN is refused before anything runs.
status=0
host --pin "$pin" devices 2>"$work/err" || status=$?
[[ $status == 2 ]] || fail "--pin gave exit status $status"
expect "--pin is refused" "$(cat "$work/err")"

# A PIN file is read only while nobody but its owner can read it.
printf '%s\n' "$pin" >"$work/pin"
chmod 640 "$work/pin"
if host --pin-file "$work/pin" devices 2>"$work/err"; then fail "a PIN file open to the group"; fi
expect "chmod 600" "$(cat "$work/err")"
chmod 600 "$work/pin"

# A key pair with a certificate from a throwaway CA, logged in through the PIN file.
host --pin-file "$work/pin" keygen --key-id signer --subject "cn=PIN Dialogue" \
    --key-usage digitalSignature --out "$work/request.b64" >/dev/null
openssl base64 -d -A -in "$work/request.b64" -out "$work/request.der"
openssl req -x509 -engine gost -newkey gost2012_256 -pkeyopt paramset:A -nodes \
    -keyout "$work/ca.key" -subj "/CN=PIN Dialogue CA" -md_gost12_256 -days 30 \
    -out "$work/ca.pem" 2>/dev/null
openssl x509 -req -engine gost -inform DER -in "$work/request.der" -CA "$work/ca.pem" \
    -CAkey "$work/ca.key" -set_serial 7 -days 30 -md_gost12_256 -outform DER \
    -out "$work/cert.der" 2>/dev/null
host --pin-file "$work/pin" install "$work/cert.der" --container signer >/dev/null

# ZOLVEX_PIN reaches neither a child process (the driver installer, run when the drivers are
# missing) nor what the host's own environment shows once it has started.
if [[ $(id -u) == 0 ]]; then
    mkdir "$work/host" "$work/no-drivers"
    cp "$bin/zolvex-host" "$work/host/"
    cat >"$work/host/register_zolvex.sh" <<'SCRIPT'
#!/bin/sh
here=$(dirname "$0")
tr '\0' '\n' </proc/$$/environ >"$here/installer.environ"
tr '\0' '\n' </proc/$PPID/environ >"$here/host.environ"
SCRIPT
    chmod 755 "$work/host/register_zolvex.sh"
    XDG_CONFIG_DIRS=$work/no-drivers ZOLVEX_PIN=$pin \
        "$work/host/zolvex-host" --modules "$plugins" --drivers yes devices >/dev/null 2>&1 || true
    [[ -s $work/host/installer.environ ]] || fail "the installer did not run"
    expect "ZOLVEX_SOFTTOKEN_DIR=" "$(cat "$work/host/installer.environ")"
    if grep -q "ZOLVEX_PIN" "$work/host/installer.environ"; then fail "a child inherits ZOLVEX_PIN"; fi
    if grep -q "$pin" "$work/host/host.environ"; then fail "the host's environment shows the PIN"; fi
else
    echo "not root: the installer would need pkexec; ZOLVEX_PIN in a child not checked"
fi

# On a terminal: the prompt comes first, on a line of its own, before any progress bar; a
# wrong PIN is asked again; nothing typed is echoed; the signature verifies.
head -c 3000000 /dev/urandom >"$work/data.bin"
out=$(terminal --expect "$prompt" --send 00000000 --expect "$prompt" --send "$pin" -- \
    "$bin/zolvex-host" --progress sign "$work/data.bin" --out "$work/data.sig" | tr -d '\r')
expect "Wrong PIN for ZOLVEXToken GOST" "$out"
expect "signature: 64 bytes" "$out"
[[ $out == "PIN for the key of 2.5.4.3=PIN Dialogue on "* ]] || fail "the prompt is not first:"$'\n'"$out"
before_bar=${out%%digest    \[*}
[[ $before_bar == *"$prompt"$'\n' ]] || fail "the progress bar shares the prompt's line:"$'\n'"$out"
[[ $out != *"$pin"* && $out != *00000000* ]] || fail "a PIN was echoed:"$'\n'"$out"
perl -0777 -ne 'print scalar reverse $_' "$work/data.sig" >"$work/data.sig.raw"
openssl x509 -engine gost -inform DER -in "$work/cert.der" -noout -pubkey \
    >"$work/pubkey.pem" 2>/dev/null
openssl dgst -engine gost -md_gost12_256 -verify "$work/pubkey.pem" \
    -signature "$work/data.sig.raw" "$work/data.bin" >/dev/null 2>&1 ||
    fail "the signature does not verify"

# Interrupted at the prompt, the host ends and gives the terminal its echo back (the shell
# around it survives to show the terminal's settings).
# shellcheck disable=SC2016 # expanded by the inner shell
out=$(terminal --expect "$prompt" --send $'\003' -- bash -c 'trap : INT; "$@"; stty -a' - \
    "$bin/zolvex-host" sign "$work/data.bin" --out "$work/x.sig" | tr -d '\r')
[[ $out =~ (^|[[:space:]])echo([[:space:]]|$) ]] || fail "echo stays off after ^C:"$'\n'"$out"
[[ ! -e $work/x.sig ]] || fail "an interrupted signature was written"

# The file is open while the PIN is asked; shrinking it then fails the command.
status=0
out=$(terminal --expect "$prompt" --run "truncate -s 1000000 $work/data.bin" --send "$pin" -- \
    "$bin/zolvex-host" sign "$work/data.bin" --out "$work/short.sig") || status=$?
[[ $status == 1 ]] || fail "a shrunk file gave exit status $status:"$'\n'"$out"
expect "data.bin changed while it was read (3000000 bytes when opened" "$out"
[[ ! -e $work/short.sig ]] || fail "a signature of a shrunk file was written"

# Wrong scripted PINs, one attempt each, until the token warns of its final try.
for _ in $(seq 30); do
    ZOLVEX_PIN=00000000 host sign "$work/data.bin" --out "$work/x.sig" 2>"$work/err" || true
    grep -q "One attempt left" "$work/err" && break
done
expect "One attempt left before ZOLVEXToken GOST" "$(cat "$work/err")"
# The terminal says so before the prompt; a wrong PIN then locks, and nothing more is asked.
status=0
out=$(terminal --expect "$prompt" --send 00000000 -- \
    "$bin/zolvex-host" sign "$work/data.bin" --out "$work/x.sig" | tr -d '\r') || status=$?
[[ $status == 1 ]] || fail "the locking PIN gave exit status $status"
[[ $out == "Final try: a wrong PIN locks "*"PIN for"* ]] || fail "no final-try notice first:"$'\n'"$out"
expect "is now locked" "$out"
expect "error: 30017" "$out"
[[ $(grep -c "PIN for" <<<"$out") == 1 ]] || fail "asked again after the lock:"$'\n'"$out"
# Once locked, the module's error comes at once.
status=0
out=$(terminal -- "$bin/zolvex-host" sign "$work/data.bin" --out "$work/x.sig" | tr -d '\r') ||
    status=$?
[[ $status == 1 && $out != *"PIN for"* ]] || fail "a locked PIN was asked for:"$'\n'"$out"
expect "is locked" "$out"
expect "error: 30017" "$out"
[[ ! -e $work/x.sig ]] || fail "a signature was written without the PIN"
echo "pin dialogue: passed"
