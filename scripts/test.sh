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
      -DKELVO_ONLY="platform;host_api;libs/exception;libs/shared;libs/session;libs/module;libs/ui;libs/crypto/catalogue;libs/crypto/ssl;libs/crypto/engine;libs/crypto/cryptoki;standins/softtoken;standins/host"
fuzzers=(certificate_fuzzer base64_fuzzer subject_fuzzer softtoken_template_fuzzer
         shell_line_fuzzer)
cmake --build "$fuzz_build" -j "$jobs" --target "${fuzzers[@]}"
(cd "$fuzz_build" && ctest --output-on-failure -j "$jobs" -R '_fuzzer$')

# The Win32 half of the platform layer: 64-bit Windows code built with mingw-w64, run under Wine.
wine_build=${WINE_BUILD_DIR:-$root/build-wine}
cmake -S "$root/platform/tests/windows" -B "$wine_build" -G Ninja \
      --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DKELVO_WERROR=ON
cmake --build "$wine_build" -j "$jobs"
(cd "$wine_build" && ctest --output-on-failure --timeout 300)
