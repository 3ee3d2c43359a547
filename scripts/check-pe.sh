#!/usr/bin/env bash
# Checks the built Windows programs: PE32+ for 64-bit and PE32 for 32-bit
# Windows, a version block, and static imports from the known system DLLs
# only: kernel32, user32, advapi32 and msvcrt, which Windows takes from the
# system folder whatever folder the program runs from. Every other library
# (setupapi, cfgmgr32, newdev) is loaded at run time from the system folder.
# cvlsetup.exe is a GUI-subsystem program whose manifest requests
# administrator rights without UI access and names no supported systems;
# cvlpreview.exe, beside it, is a console program whose manifest runs it as
# whoever starts it (asInvoker), also without UI access or supported systems.
# The 32-bit cvlsetup.exe, which is also the one for Windows 95, 98, Me and
# NT 4, imports only the functions scripts/windows95-imports.txt lists (each
# one exported by Windows from 95 on) and asks for Windows 4.0 in its header
# (subsystem and system version); the 64-bit one asks for 5.2, the first
# 64-bit Windows and the oldest version its loader takes.
#
#   scripts/check-pe.sh [--win64 EXE] [--win32 EXE]
#
# Without options cvlsetup.exe of both default build folders is checked in
# full, with cvlpreview.exe beside it, and the import table of cvlcapture.exe
# there.
set -u

repo=$(cd "$(dirname "$0")/.." && pwd)
failures=0

fail() {
    echo "check-pe: FAIL $1: $2" >&2
    failures=$((failures + 1))
}

# The DLLs a program may import statically. A DLL outside this list would be
# looked for in the program's own folder first, where anyone who can write
# to that folder can leave one.
known_dll_pattern='^(kernel32|user32|advapi32|msvcrt)\.dll$'

check_imports() {
    local exe=$1 headers=$2 dll
    while read -r dll; do
        grep -Eiq "$known_dll_pattern" <<<"$dll" || fail "$exe" "imports from $dll"
    done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
}

# "DLL function" for every function the program imports by name.
imported_functions() {
    awk '/^\tDLL Name: / { dll = toupper($3); sub(/\.DLL$/, "", dll); next }
         /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $3 }' <<<"$1"
}

check_windows95_imports() {
    local exe=$1 headers=$2 dll function
    local allowed
    allowed=$(awk '!/^#/ && NF >= 2 { print toupper($1), $2 }' "$repo/scripts/windows95-imports.txt")
    while read -r dll function; do
        [ -n "$dll" ] || continue
        grep -Fxq "$dll $function" <<<"$allowed" ||
            fail "$exe" "imports $function from $dll, which Windows 95 does not export (not in scripts/windows95-imports.txt)"
    done < <(imported_functions "$headers")
    # An import by ordinal has no name to check.
    if grep -Eq '^[[:space:]]+[0-9a-f]+[[:space:]]+<none>' <<<"$headers"; then
        fail "$exe" "imports by ordinal"
    fi
}

# check_version EXE HEADERS Subsystem|OSystem MAJOR MINOR
check_version() {
    local exe=$1 headers=$2 kind=$3 major=$4 minor=$5
    grep -Eq "^Major${kind}Version[[:space:]]+${major}\$" <<<"$headers" &&
        grep -Eq "^Minor${kind}Version[[:space:]]+${minor}\$" <<<"$headers" ||
        fail "$exe" "the ${kind} version is not ${major}.${minor}"
}

check_capture() {
    local exe=$1 objdump=$2 headers
    [ -f "$exe" ] || return 0
    if ! headers=$("$objdump" -p "$exe" 2>&1); then
        fail "$exe" "objdump cannot read it: $headers"
        return
    fi
    check_imports "$exe" "$headers"
}

# check_layout EXE MAGIC OBJDUMP SUBSYSTEM LEVEL [oldest-windows]: the whole
# layout of one program; SUBSYSTEM is 2 (GUI) or 3 (console), LEVEL the
# execution level its manifest requests; oldest-windows asks for the checks
# of the program that must start on every Windows generation.
check_layout() {
    local exe=$1 magic=$2 objdump=$3 subsystem=$4 level=$5 oldest=${6:-}
    if [ ! -f "$exe" ]; then
        fail "$exe" "no such file"
        return
    fi
    local headers
    if ! headers=$("$objdump" -p "$exe" 2>&1); then
        fail "$exe" "objdump cannot read it: $headers"
        return
    fi

    grep -Fq "($magic)" <<<"$(grep -E '^Magic[[:space:]]' <<<"$headers")" ||
        fail "$exe" "not $magic"
    grep -Eq "^Subsystem[[:space:]]+0000000$subsystem[[:space:]]" <<<"$headers" ||
        fail "$exe" "not subsystem $subsystem ($([ "$subsystem" = 2 ] && echo GUI || echo console))"

    # Resource types sit at the first level of the resource directory.
    grep -Eq '^[0-9a-f]+   Entry: ID: 0x000018,' <<<"$headers" ||
        fail "$exe" "no manifest resource (type 24)"
    grep -Eq '^[0-9a-f]+   Entry: ID: 0x000010,' <<<"$headers" ||
        fail "$exe" "no version resource (type 16)"

    local resources
    resources=$(mktemp)
    "${objdump%objdump}objcopy" -O binary --only-section=.rsrc "$exe" "$resources" 2>/dev/null
    grep -aq "level=\"$level\"" "$resources" ||
        fail "$exe" "the manifest does not request the execution level $level"
    grep -aq 'uiAccess="false"' "$resources" ||
        fail "$exe" "the manifest does not refuse UI access"
    if grep -aq 'supportedOS' "$resources"; then
        fail "$exe" "the manifest lists supported systems"
    fi
    # The version block's texts are UTF-16; without their zero bytes each
    # name is followed closely by its value.
    local texts
    texts=$(tr -d '\000' <"$resources")
    grep -aEq 'ProductName.{0,4}cvlsetup' <<<"$texts" ||
        fail "$exe" "the version block does not name the product cvlsetup"
    grep -aEq 'CompanyName.{0,4}Corvane' <<<"$texts" ||
        fail "$exe" "the version block does not name the company Corvane"
    rm -f "$resources"

    check_imports "$exe" "$headers"
    [ -n "$oldest" ] || return 0
    if [ "$magic" = PE32 ]; then
        check_windows95_imports "$exe" "$headers"
        check_version "$exe" "$headers" Subsystem 4 0
        check_version "$exe" "$headers" OSystem 4 0
    else
        check_version "$exe" "$headers" Subsystem 5 2
    fi
}

# cvlsetup.exe, and the programs of its build folder beside it.
check_build() {
    local exe=$1 magic=$2 objdump=$3
    check_layout "$exe" "$magic" "$objdump" 2 requireAdministrator oldest-windows
    check_layout "$(dirname "$exe")/cvlpreview.exe" "$magic" "$objdump" 3 asInvoker
    check_capture "$(dirname "$exe")/cvlcapture.exe" "$objdump"
}

win64=
win32=
if [ $# -eq 0 ]; then
    win64=$repo/build-win64/cvlsetup.exe
    win32=$repo/build-win32/cvlsetup.exe
fi
while [ $# -gt 0 ]; do
    case $1 in
        --win64) win64=${2:-}; shift 2 || break ;;
        --win32) win32=${2:-}; shift 2 || break ;;
        *) echo "usage: $0 [--win64 EXE] [--win32 EXE]" >&2; exit 2 ;;
    esac
done

checked=0
if [ -n "$win64" ]; then
    check_build "$win64" "PE32+" x86_64-w64-mingw32-objdump
    checked=$((checked + 1))
fi
if [ -n "$win32" ]; then
    check_build "$win32" "PE32" i686-w64-mingw32-objdump
    checked=$((checked + 1))
fi

if [ "$failures" -ne 0 ]; then
    echo "check-pe: $failures problem(s) found" >&2
    exit 1
fi
echo "check-pe: $checked program(s) fine"
