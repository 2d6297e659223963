#!/usr/bin/env bash
# Installs the dependencies, builds the instrumented test build and runs the whole suite,
# then runs each fuzz target of a clang build for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-test}
fuzz_build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
jobs=$(nproc)
"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVO_SANITIZE=ON \
      -DKELVO_BUILD_TESTS=ON -DKELVO_WERROR=ON
cmake --build "$build" -j "$jobs"
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 600)

# Parsers and the software token under libFuzzer, ${KELVO_FUZZ_SECONDS:-60} seconds each.
cmake -S "$root" -B "$fuzz_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVO_SANITIZE=ON \
      -DKELVO_FUZZ=ON -DKELVO_WERROR=ON -DKELVO_FUZZ_SECONDS="${KELVO_FUZZ_SECONDS:-60}" \
      -DKELVO_ONLY="platform;host_api;libs/exception;libs/shared;libs/crypto/catalogue;libs/crypto/ssl;standins/softtoken"
fuzzers=(certificate_fuzzer base64_fuzzer subject_fuzzer softtoken_template_fuzzer)
cmake --build "$fuzz_build" -j "$jobs" --target "${fuzzers[@]}"
(cd "$fuzz_build" && ctest --output-on-failure -j "$jobs" -R '_fuzzer$')
