#!/usr/bin/env bash
# Builds the release preset and measures it; the figures in
# docs/benchmark.md come from this script.
#
#   scripts/benchmark.sh [SIZES]   the benchmark at 1,000, 10,000 and 100,000
#                                  devices (or SIZES: 1000,10000), the release
#                                  host runner on a 10,000-device image, then
#                                  the fleet preview below
#   scripts/benchmark.sh --fleet   only the fleet preview: fleets of 100, 250,
#                                  500 and 1,000 captures of 300 devices each,
#                                  and one replay of such a capture, timed and
#                                  counted in instructions (valgrind's callgrind,
#                                  when valgrind is installed)
set -euo pipefail
cd "$(dirname "$0")/.."

fleet_only=false
sizes=1000,10000,100000
case "${1:-}" in
--fleet) fleet_only=true ;;
"") ;;
*) sizes=$1 ;;
esac
cmake --preset release >/dev/null
cmake --build --preset release --target cvl-benchmark cvlsetup-host

image=$(mktemp -d)
trap 'rm -rf "$image"' EXIT
TIMEFORMAT='%R s wall (%U s user, %S s system)'
install=(/i /vistab701 /f 'drivers\win7-2017\netcvl.inf')

if ! $fleet_only; then
    build-release/cvl-benchmark --sizes "$sizes"
    build-release/cvl-benchmark --sizes 10000 --save-image "$image/machine" >/dev/null
    echo
    echo "## The release host runner, 10,000 devices"
    echo
    echo -n "cvlsetup-host --machine IMAGE -- /chknicexist /vistab701: "
    time (build-release/cvlsetup-host --machine "$image/machine" -- /chknicexist /vistab701 \
        >/dev/null || true)
    echo
fi

build-release/cvl-benchmark --fleet-sizes 100,250,500,1000 --sizes 300

echo
echo "## One replay of a fleet's capture (300 devices)"
echo
build-release/cvl-benchmark --sizes 300 --save-image "$image/machine-300" >/dev/null
echo -n "cvlsetup-host --machine IMAGE -- ${install[*]}: "
time (build-release/cvlsetup-host --machine "$image/machine-300" -- "${install[@]}" >/dev/null)
if command -v valgrind >/dev/null; then
    instructions=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null \
        build-release/cvlsetup-host --machine "$image/machine-300" -- "${install[@]}" \
        2>&1 >/dev/null | sed -n 's/.*Collected : *//p')
    echo "instructions (callgrind): $instructions"
else
    echo "instructions: valgrind is not installed"
fi
