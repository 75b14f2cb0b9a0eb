#!/usr/bin/env bash
# Exit status 0 when this machine can execute 32-bit x86 Linux programs, which 32-bit Wine
# needs. Some machines cannot ("Exec format error": no IA-32 emulation in the kernel), so the
# 32-bit Wine layer is installed and run only where this says yes. The probe is the smallest
# static i386 ELF program there is: it calls exit(0) and nothing else, so no 32-bit library is
# needed to answer.
set -u
probe=$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
{
    # ELF header: 32-bit, little-endian, executable for i386, entry 0x08048054, one program
    # header at offset 52.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
    printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
    # Program header: load the 93 bytes of the file at 0x08048000, readable and executable.
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
    printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
    # mov eax, 1 (exit); xor ebx, ebx (status 0); int 0x80
    printf '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80'
} >"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
