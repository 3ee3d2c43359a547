#!/usr/bin/env bash
# Fails when a C++ source of the repository is not formatted as .clang-format
# says, and names the files. `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files -- '*.cpp' '*.h')
if ! clang-format --dry-run -Werror "${sources[@]}"; then
    echo "check-format: run clang-format -i on the files above" >&2
    exit 1
fi
echo "check-format: ${#sources[@]} files formatted"
