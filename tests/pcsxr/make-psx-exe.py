#!/usr/bin/env python3
"""Wraps a flat binary as a PS-X EXE: a 2048-byte header, then the text image padded to whole
2048-byte sectors (the host's CD boot copies the text sector by sector, so a ragged size would
not end its copy loop cleanly).

    make-psx-exe.py IMAGE.bin LOAD_ADDRESS ENTRY OUT.EXE
"""
import struct
import sys


def main():
    image_path, load, entry, out_path = sys.argv[1], int(sys.argv[2], 0), int(sys.argv[3], 0), sys.argv[4]
    with open(image_path, "rb") as f:
        text = f.read()
    text += b"\0" * (-len(text) % 2048)
    header = bytearray(2048)
    header[0:8] = b"PS-X EXE"
    # pc0, gp0, text address, text size, data address/size, bss address/size, stack address/size
    struct.pack_into("<IIIIIIIIII", header, 0x10, entry, 0, load, len(text), 0, 0, 0, 0, 0x801FFF00, 0)
    with open(out_path, "wb") as f:
        f.write(header)
        f.write(text)


if __name__ == "__main__":
    main()
