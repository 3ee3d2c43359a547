#!/usr/bin/env bash
# Installs what building and testing cvlsetup needs on Debian 12: the host
# toolchain, GoogleTest and clang-format (the sanitizer build uses g++ too;
# the Windows test program builds GoogleTest from the sources of
# `googletest`), clang with its libFuzzer runtime for the fuzz targets, the
# mingw-w64 cross compilers for both Windows programs, Wine for the
# end-to-end tests, Python for their harness, and zip for the release
# package. Quick and silent when everything is present; needs root
# only when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ libgtest-dev googletest python3 clang-format
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
    wine wine64 zip
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: everything is installed"
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing ${missing[*]}; run this script as root to install them" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another apt run (an unattended upgrade) may hold the lock; wait for it.
apt-get -o DPkg::Lock::Timeout=600 update -q
apt-get -o DPkg::Lock::Timeout=600 install -y -q "${missing[@]}"
