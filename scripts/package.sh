#!/usr/bin/env bash
# Builds both Windows builds and packs the release:
#   dist/cvlsetup-<version>.zip
#     x64\cvlsetup.exe  x64\cvlcapture.exe  x64\cvlpreview.exe   64-bit Windows
#     x86\cvlsetup.exe  x86\cvlcapture.exe  x86\cvlpreview.exe   32-bit Windows
#     README.txt                     the README, with CR LF line ends
#     docs\*.md                      the documents the README links to, CR LF
#     SHA256SUMS.txt                 the SHA-256 of every other file
# The version is the project version of CMakeLists.txt, the one the
# programs' version resources carry. The archive is the same bytes for the
# same programs: its entries are sorted and dated by the last commit.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)
if [ -z "$version" ]; then
    echo "package: no project version in build-win64/CMakeCache.txt" >&2
    exit 1
fi
name="cvlsetup-$version"
stage="dist/$name"
rm -rf "$stage" "dist/$name.zip"
mkdir -p "$stage/x64" "$stage/x86"

for program in cvlsetup cvlcapture cvlpreview; do
    cp "build-win64/$program.exe" "$stage/x64/"
    cp "build-win32/$program.exe" "$stage/x86/"
done
sed 's/$/\r/' README.md >"$stage/README.txt"
mkdir -p "$stage/docs"
for document in docs/*.md; do
    sed 's/$/\r/' "$document" >"$stage/$document"
done

(
    cd "$stage"
    find . -type f ! -name SHA256SUMS.txt | sed 's|^\./||' | LC_ALL=C sort |
        xargs sha256sum | sed 's/$/\r/' >SHA256SUMS.txt
    stamp=$(git log -1 --format=%cd --date=format:%Y%m%d%H%M.%S 2>/dev/null || echo 202001010000)
    find . -exec touch -t "$stamp" {} +
    find . -type f | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -X -q -D "../$name.zip" -@
)
rm -rf "$stage"
echo "package: dist/$name.zip"
