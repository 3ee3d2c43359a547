#!/usr/bin/env bash
# Builds the release preset and runs the benchmark at 1,000, 10,000 and
# 100,000 devices (or the sizes given: scripts/benchmark.sh 1000,10000),
# then times the release host runner itself on a 10,000-device image.
# The figures in the README's "How it scales" come from this script.
set -euo pipefail
cd "$(dirname "$0")/.."

sizes=${1:-1000,10000,100000}
cmake --preset release >/dev/null
cmake --build --preset release --target cvl-benchmark cvlsetup-host

build-release/cvl-benchmark --sizes "$sizes"

image=$(mktemp -d)
trap 'rm -rf "$image"' EXIT
build-release/cvl-benchmark --sizes 10000 --save-image "$image/machine" >/dev/null
echo
echo "## The release host runner, 10,000 devices"
echo
TIMEFORMAT='%R s wall (%U s user, %S s system)'
echo -n "cvlsetup-host --machine IMAGE -- /chknicexist /vistab701: "
time (build-release/cvlsetup-host --machine "$image/machine" -- /chknicexist /vistab701 >/dev/null || true)
