#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need (run as root).
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    qtbase5-dev qtbase5-dev-tools
    libboost-all-dev libssl-dev openssl rapidjson-dev libengine-gost-openssl
    libp11-kit-dev p11-kit gnutls-bin faketime
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    opensc
    fonts-dejavu-core xvfb xauth
    xxd dpkg-dev
    g++-mingw-w64-x86-64 wine64
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
