#!/usr/bin/env bash
# The host against another local user: output names planted as links, FIFOs, devices or
# folders are refused and what they point to stays untouched; the long-running shell survives
# lines that parse to nothing.
#   local_attacker.sh STANDINS_DIR
set -euo pipefail
# shellcheck source=checks.sh
source "$(dirname "$0")/checks.sh"
token_test "$1"

host() { timeout 60 "$bin/zolvex-host" --no-progress "$@"; }

shared=$work/shared
mkdir -m 1777 "$shared"
echo precious >"$work/victim"
ln -s "$work/victim" "$shared/link"
ln -s "$work/absent" "$shared/dangling"
mkfifo "$shared/fifo"
mkdir "$shared/folder"
printf 'data' >"$work/data.bin"
# Each row: output name, what the refusal says. Random bytes and digests share the writer.
while read -r name reason; do
    for command in "random 16 --out $name" "hash $work/data.bin --out $name"; do
        # shellcheck disable=SC2086
        if host $command >/dev/null 2>"$work/err"; then fail "$command succeeded"; fi
        expect "cannot write $name: $reason" "$(cat "$work/err")"
    done
done <<ROWS
$shared/link a symbolic link is not replaced
$shared/dangling a symbolic link is not replaced
$shared/fifo a FIFO is not replaced
$shared/folder a directory is not replaced
/dev/null a device is not replaced
ROWS
[[ $(cat "$work/victim") == precious && -L $shared/link && -p $shared/fifo && -c /dev/null ]] ||
    fail "a refused output changed its target"
[[ ! -e $work/absent ]] || fail "a dangling link was followed"
[[ -z $(find "$shared" -name '.*' -type f) ]] || fail "a temporary file was left behind"

# A regular file is replaced whole and keeps its permissions; "-" is standard output, the
# report going to stderr; two outputs of one command may not name the same file.
echo old >"$shared/file" && chmod 600 "$shared/file"
host random 16 --out "$shared/file" >/dev/null
[[ $(stat -c %s:%a "$shared/file") == 16:600 ]] || fail "the regular file was not replaced as it was"
status=0
host keygen --key-id same --subject cn=Same --out "$shared/same" \
    --public-key-out "$shared/../shared/same" 2>"$work/err" || status=$?
[[ $status == 2 ]] || fail "two outputs on one file gave exit status $status"
expect "two outputs name the same file" "$(cat "$work/err")"
expect "0 container(s)" "$(host containers)"
# An interrupted command leaves no temporary file: it has no name before the commit.
head -c 300000000 /dev/zero >"$work/large.bin"
timeout -s INT 2 "$bin/zolvex-host" --no-progress hash "$work/large.bin" --out "$shared/large" \
    >/dev/null 2>&1 || true
[[ -z $(find "$shared" -name '.*' -type f) ]] || fail "an interrupted command left a temporary"
[[ $(host random 16 --out - 2>/dev/null | wc -c) == 16 ]] || fail "random to standard output"

# Lines that parse to no words are usage errors; the shell goes on to the end of its input.
# Control characters are refused, never echoed back to the terminal.
out=$(printf "''\n\"\"\n\"\nran\033[2Jdom 4\nrandom 4\n" | host shell 2>"$work/err") ||
    fail "the shell ended early"
if grep -q $'\033' "$work/err"; then fail "a control character was echoed"; fi
[[ $(grep -c '^== exit 2$' <<<"$out") == 4 && $(grep -c '^== exit 0$' <<<"$out") == 1 ]] ||
    fail "shell answers: $out"
echo "local attacker: passed"
