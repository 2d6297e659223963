#!/usr/bin/env bash
# Builds a Release tree, runs every benchmark once against software tokens in a temporary
# folder (kelvo_bench provisions them) and writes bench/results.md (machine, date, command,
# figures).
#
#   bench/run.sh [benchmark flags]      BUILD_DIR (default build-bench), KELVO_BENCH_BYTES
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
command="bench/run.sh${*:+ $*}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_BUILD_TESTS=OFF \
      -DKELVO_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target kelvo_bench voxa_pkcs11_main rtengine zolvex-host zolvex

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/token"
load=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
# The speed figures' token takes the cheap PIN key derivation, which only this switch allows;
# the login figure keeps the default cost.
ZOLVEX_SOFTTOKEN_TEST_KDF=1 ZOLVEX_SOFTTOKEN_DIR=$work/token "$build/standins/kelvo_bench" --summary="$work/summary.md" \
    --benchmark_out="$work/bench.json" --benchmark_out_format=json "$@"
# The host's CMS signing against one OpenSSL pass, beside the raw format's two passes.
"$root/bench/cms_sign.sh" "$build/standins" "${KELVO_BENCH_BYTES:-1073741824}" >"$work/cms.md"

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
memory=$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
{
    echo "# Benchmark results"
    echo
    echo "- Date: $started"
    echo "- Command: \`$command\` (commit $(git -C "$root" rev-parse --short HEAD))"
    echo "- Machine: $(nproc) cores, $cpu, $memory, $(uname -sr)"
    echo "- Load average at start: $load"
    echo "- Token: the software token (\`voxa_pkcs11_main.so\`), Release build;" \
         "OpenSSL $(openssl version | cut -d' ' -f2) with the gostprov provider"
    echo "- PIN key derivation: scrypt with N = 2^4 for the token of the speed figures," \
         "the default N = 2^17 (r = 8, p = 1) for the login figure"
    echo
    cat "$work/summary.md"
    echo
    cat "$work/cms.md"
} >"$root/bench/results.md"
echo "wrote $root/bench/results.md"
