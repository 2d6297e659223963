#!/usr/bin/env bash
# The whole system in one command: installs the dependencies, builds a release build in
# build-demo/, then drives a software token through the command-line host and checks the
# signatures with OpenSSL, GnuTLS and the host. Artifacts land in demo-out/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-demo}

echo "==> Installing dependencies"
"$root/scripts/install-deps.sh"

echo "==> Building (Release, $build)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_SANITIZE=OFF \
      -DKELVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target zolvex-host zolvex voxa_pkcs11_main rtengine

rm -rf "$root/demo-out"
"$root/scripts/demo/steps.sh" "$build/standins" "$root/demo-out"
echo
echo "Done: the signatures verify. Artifacts are in demo-out/."
