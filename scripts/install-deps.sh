#!/usr/bin/env bash
# Installs what building and testing cvlsetup needs on Debian 12: the host
# toolchain, GoogleTest and clang-format (the sanitizer build uses g++ too;
# the Windows test program builds GoogleTest from the sources of
# `googletest`), clang with its libFuzzer runtime for the fuzz targets, the
# mingw-w64 cross compilers for both Windows programs, Wine for the
# end-to-end tests, Python for their harness, Chromium to render the fleet
# preview's HTML page in the tests, and zip for the release package. Quick
# and silent when everything is present; needs root only when something is
# missing.
#
# Wine's 32-bit side (wine32, of the i386 architecture) runs the 32-bit
# program. It is installed only where the kernel runs 32-bit programs
# (scripts/can-run-32-bit.sh): elsewhere it would install but not start, and
# Debian's `wine` wrapper would then start its 32-bit loader for every
# program. Where it cannot be installed everything else still works, and the
# Wine tests report the 32-bit scenarios as skipped.
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)

packages=(
    cmake ninja-build g++ libgtest-dev googletest python3 clang-format
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
    wine wine64 zip chromium
)
wine32=wine32:i386
# Another apt run (an unattended upgrade) may hold the lock: wait for it.
apt_get=(apt-get -o DPkg::Lock::Timeout=600)

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" = "install ok installed" ]
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
need_wine32=false
if ! installed "$wine32"; then
    if probe=$("$scripts/can-run-32-bit.sh"); then
        need_wine32=true
    else
        echo "install-deps: not installing $wine32: $probe"
    fi
fi

if [ ${#missing[@]} -eq 0 ] && ! $need_wine32; then
    echo "install-deps: everything is installed"
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    if [ ${#missing[@]} -gt 0 ]; then
        echo "install-deps: missing ${missing[*]}; run this script as root to install them" >&2
        exit 1
    fi
    echo "install-deps: $wine32 is missing (run this script as root to install it);" \
        "the 32-bit Wine scenarios will be skipped" >&2
    exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if $need_wine32 && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
"${apt_get[@]}" update -q
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    "${apt_get[@]}" install -y -q "${missing[@]}"
fi
if $need_wine32; then
    echo "install-deps: installing $wine32"
    if ! "${apt_get[@]}" install -y -q --no-install-recommends "$wine32"; then
        echo "install-deps: $wine32 could not be installed; the 32-bit Wine scenarios will be" \
            "skipped" >&2
    fi
fi
