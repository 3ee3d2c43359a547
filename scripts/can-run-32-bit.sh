#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit (i386) Linux programs and 1
# when it does not, with one line on standard output saying which. Some
# machines have no 32-bit support in their kernel: there Debian's wine32
# installs but cannot start, and once installed its `wine` wrapper starts
# the 32-bit loader even for 64-bit programs.
#
# The probe is a 96-byte static i386 program, written here byte by byte so
# that it needs no 32-bit package, that ends with exit code 32.
#
# CVL_DENY_32_BIT=1 makes the probe answer "cannot" without running it, so
# that the path of such machines can be tried on one that can.
set -u

if [ "${CVL_DENY_32_BIT:-}" = 1 ]; then
    echo "this machine cannot run 32-bit programs (CVL_DENY_32_BIT=1)"
    exit 1
fi

probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
probe=$probe_dir/probe32

{
    # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054,
    # one program header at offset 52.
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
    printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
    printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000'
    printf '\000\000\000\000'
    # One loadable, readable and executable segment: the whole file at
    # 0x08048000.
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
    printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000'
    # mov eax, 1 (exit); mov ebx, 32; int 0x80
    printf '\270\001\000\000\000\273\040\000\000\000\315\200'
} >"$probe"
chmod +x "$probe"

"$probe" 2>/dev/null
status=$?
if [ "$status" -eq 32 ]; then
    echo "this machine can run 32-bit programs"
    exit 0
fi
echo "this machine cannot run 32-bit programs (a 32-bit test program ended with $status)"
exit 1
