#!/usr/bin/env bash
# Builds the PS1 test program and the CD image the host boots:
#   build-image.sh OUT_DIR        leaves OUT_DIR/spu-test.iso (and the ELF, for disassembly), and
#                                 the CD audio disc OUT_DIR/spu-cd.cue with spu-cd.bin
# The CD audio disc boots the same program at its second entry, _start_cd, and adds XA and CD-DA
# audio (tools/adpcm/make_test_disc_main.cpp, built here from the tools' sources).
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
# The console checks the program replays (ps1/replay.c, data/replayed-checks.txt), from the
# recordings' manifest beside the repository; without it the program replays none.
manifest=${PCSXR_TEST_RECORDINGS:-$here/../../../shared/hardware/recordings}/manifest.json
if [ -f "$manifest" ]; then
    python3 "$here/make-replay-table.py" "$manifest" $(tail -1 "$here/data/replayed-checks.txt") >"$out/replay_table.c"
else
    echo 'static const ReplayCheck kReplayChecks[] = {{0, 0}};' >"$out/replay_table.c"
fi
"$cc" "${flags[@]}" -I"$out" -Wl,--build-id=none -T "$here/ps1/link.ld" -o "$out/spu-test.elf" \
    "$here/ps1/crt0.S" "$here"/ps1/*.c -lgcc
mipsel-linux-gnu-objcopy -O binary "$out/spu-test.elf" "$out/spu-test.bin"
entry() { echo "0x$(mipsel-linux-gnu-nm "$out/spu-test.elf" | awk -v s="$1" '$3 == s { print substr($1, length($1) - 7) }')"; }
disc() {  # disc DIR EXE ENTRY: a file system that boots EXE
    mkdir -p "$out/$1"
    python3 "$here/make-psx-exe.py" "$out/spu-test.bin" 0x80010000 "$(entry "$3")" "$out/$1/$2"
    printf 'BOOT = cdrom:\\%s;1\r\nTCB = 4\r\nEVENT = 10\r\nSTACK = 801FFF00\r\n' "$2" >"$out/$1/SYSTEM.CNF"
}
disc cd SPUTEST.EXE _start
genisoimage -quiet -o "$out/spu-test.iso" -V SPUTEST "$out/cd"
disc cd-audio CDTEST.EXE _start_cd
genisoimage -quiet -o "$out/spu-cd.iso" -V SPUCD "$out/cd-audio"
tools=$here/../../tools/adpcm
g++ -std=c++17 -O2 -Wall -Wextra -Werror -I"$tools" -I"$here/../../spu/core" -o "$out/make-test-disc" \
    "$tools/make_test_disc_main.cpp" "$tools/xa_encoder.cpp" "$tools/adpcm_unit_search.cpp"
"$out/make-test-disc" "$out/spu-cd.iso" "$out/spu-cd.bin" "$out/spu-cd.cue"
