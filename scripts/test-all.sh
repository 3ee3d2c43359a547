#!/usr/bin/env bash
# Builds everything and runs every test: the formatting check, the host
# build with its tests, the fleet preview's HTML page rendered by Chromium,
# the same under the address and undefined-behaviour sanitizers, the fuzz
# targets for a short while, both Windows builds with their layout checks,
# the release package, and both programs under Wine (the 32-bit one where
# this machine runs 32-bit programs and wine32 is installed), on every
# Windows generation Wine reports to each.
# Stops at the first step that fails and says which.
set -euo pipefail
cd "$(dirname "$0")/.."

step() {
    local name=$1
    shift
    echo
    echo "=== $name"
    local started=$SECONDS
    if ! "$@"; then
        echo "=== FAILED: $name" >&2
        exit 1
    fi
    echo "=== done: $name ($((SECONDS - started)) s)"
}

build_and_test() {
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" &&
        ctest --preset "$preset" "$@"
}

step "dependencies" scripts/install-deps.sh
step "formatting" scripts/check-format.sh
step "host build and tests" build_and_test host
step "fleet report in Chromium" python3 tests/fleet/check_fleet_html.py \
    --host-runner build/cvlsetup-host
step "sanitizer build and tests" build_and_test asan
step "fuzz targets, 30 s each" scripts/fuzz.sh --seconds 30
# The Wine scenarios of both programs run below on their own, where their
# lines are seen.
step "32-bit Windows build" build_and_test win32 -E wine_end_to_end
step "64-bit Windows build" build_and_test win64 -E wine_end_to_end
step "PE layout of both programs" scripts/check-pe.sh
step "release package" scripts/package.sh
step "release package contents" python3 tests/package/check_package.py
step "Wine end-to-end tests" python3 tests/wine/run_wine_tests.py \
    --exe build-win64/cvlsetup.exe \
    --contract-tests build-win64/cvl_platform_contract_tests.exe \
    --preview build-win64/cvlpreview.exe \
    --exe32 build-win32/cvlsetup.exe \
    --host-runner build/cvlsetup-host

echo
echo "=== all tests passed"
