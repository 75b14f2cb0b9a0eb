#!/usr/bin/env bash
# Builds the PS1 test program and the CD image the host boots:
#   build-image.sh OUT_DIR        leaves OUT_DIR/spu-test.iso (and the ELF, for disassembly)
# The program is freestanding MIPS R3000 code (no libc, soft float, absolute addressing), wrapped
# as a PS-X EXE and named by the BOOT line of SYSTEM.CNF, as the console's boot loader expects.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$1
mkdir -p "$out/cd"

cc=mipsel-linux-gnu-gcc
command -v "$cc" >/dev/null || { echo "build-image.sh: $cc not found (package gcc-mipsel-linux-gnu)" >&2; exit 1; }

flags=(-march=r3000 -mno-abicalls -fno-pic -msoft-float -nostdlib -static -no-pie -ffreestanding -G0 -O2
       -Wall -Wextra -Werror -fno-builtin)
"$cc" "${flags[@]}" -Wl,--build-id=none -T "$here/ps1/link.ld" -o "$out/spu-test.elf" \
    "$here/ps1/crt0.S" "$here"/ps1/*.c -lgcc
mipsel-linux-gnu-objcopy -O binary "$out/spu-test.elf" "$out/spu-test.bin"
entry=0x$(mipsel-linux-gnu-nm "$out/spu-test.elf" | awk '$3 == "_start" { print substr($1, length($1) - 7) }')
python3 "$here/make-psx-exe.py" "$out/spu-test.bin" 0x80010000 "$entry" "$out/cd/SPUTEST.EXE"

printf 'BOOT = cdrom:\\SPUTEST.EXE;1\r\nTCB = 4\r\nEVENT = 10\r\nSTACK = 801FFF00\r\n' >"$out/cd/SYSTEM.CNF"
genisoimage -quiet -o "$out/spu-test.iso" -V SPUTEST "$out/cd"
