#!/usr/bin/env python3
"""Checks the built cdferro.dll as the host and the system loader see it: exactly the eleven
CD_* exports, undecorated; only system DLLs imported; and dialog 101 in its resources with the
style, geometry, caption, font and seven controls the host's users have always seen.

    check_cdferro_dll.py OBJDUMP cdferro.dll
"""
import re
import struct
import subprocess
import sys

EXPORTS = sorted(["CD_Open", "CD_Close", "CD_Read", "CD_GetTN", "CD_GetTD", "CD_Play", "CD_Stop",
                  "CD_Wait", "CD_GetSeek", "CD_Configure", "CD_About"])
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "winmm.dll", "dsound.dll",
               "msvcrt.dll"}

WS_POPUP, WS_CAPTION, WS_CHILD, WS_VISIBLE = 0x80000000, 0x00C00000, 0x40000000, 0x10000000
WS_TABSTOP, WS_VSCROLL, DS_MODALFRAME, DS_SETFONT = 0x00010000, 0x00200000, 0x80, 0x40
BUTTON, COMBOBOX = 0x80, 0x85
CONTROLS = [  # id, class atom, text, x, y, cx, cy, style
    (1, BUTTON, "OK", 41, 76, 48, 12, WS_CHILD | WS_VISIBLE | WS_TABSTOP | 0x1),
    (2, BUTTON, "Cancel", 97, 76, 48, 12, WS_CHILD | WS_VISIBLE | WS_TABSTOP),
    (0xFFFF, BUTTON, "CD-ROM", 4, 4, 180, 64, WS_CHILD | WS_VISIBLE | 0x7),
    (1000, BUTTON, "Configure", 13, 48, 48, 12, WS_CHILD | WS_VISIBLE | WS_TABSTOP),
    (1001, BUTTON, "Test", 69, 48, 48, 12, WS_CHILD | WS_VISIBLE | WS_TABSTOP),
    (1002, BUTTON, "About", 125, 48, 48, 12, WS_CHILD | WS_VISIBLE | WS_TABSTOP),
    (1003, COMBOBOX, "", 12, 21, 160, 51, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | 0x3),
]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def objdump_tables(objdump, dll):
    text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", text)}
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    exports = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table[1], re.M) if len(table) > 1 else []
    return imports, sorted(exports)


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        self.rsrc_rva = struct.unpack_from("<I", data, optional + 96 + 2 * 8)[0]
        self.sections = []
        for i in range(sections):
            base = optional + optional_size + 40 * i
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, base + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("rva outside every section")

    def entries(self, directory_offset):
        named, ids = struct.unpack_from("<HH", self.data, directory_offset + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, directory_offset + 16 + 8 * i)
            yield name, target

    def resource(self, kind, ident):
        root = self.offset(self.rsrc_rva)
        for name, target in self.entries(root):
            if name != kind:
                continue
            for name2, target2 in self.entries(root + (target & 0x7FFFFFFF)):
                if name2 != ident:
                    continue
                for _, leaf in self.entries(root + (target2 & 0x7FFFFFFF)):
                    rva, size = struct.unpack_from("<II", self.data, root + leaf)
                    start = self.offset(rva)
                    return self.data[start:start + size]
        return None


def read_sz_or_ord(data, pos):
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def check_dialog(template):
    style, exstyle, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", template, 0)
    check(style == WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
          "dialog style 0x%08X" % style)
    check(exstyle == 0, "dialog extended style 0x%X" % exstyle)
    check((x, y, cx, cy) == (0, 0, 188, 95), "dialog geometry %r" % ((x, y, cx, cy),))
    check(count == 7, "dialog has %d controls" % count)
    pos = 18
    menu, pos = read_sz_or_ord(template, pos)
    window_class, pos = read_sz_or_ord(template, pos)
    caption, pos = read_sz_or_ord(template, pos)
    check(menu == "" and window_class == "", "menu %r, class %r" % (menu, window_class))
    check(caption == "CdrFerro Configuration", "caption %r" % caption)
    points = struct.unpack_from("<H", template, pos)[0]
    font, pos = read_sz_or_ord(template, pos + 2)
    check((points, font) == (8, "MS Sans Serif"), "font %r" % ((points, font),))
    for expected in CONTROLS:
        pos = (pos + 3) & ~3
        style, exstyle, x, y, cx, cy, ident = struct.unpack_from("<IIhhhhH", template, pos)
        pos += 18
        window_class, pos = read_sz_or_ord(template, pos)
        text, pos = read_sz_or_ord(template, pos)
        extra = struct.unpack_from("<H", template, pos)[0]
        pos += 2 + extra
        actual = (ident, window_class, text, x, y, cx, cy, style)
        check(actual == expected and exstyle == 0,
              "control %r, expected %r" % (actual, expected))


def main():
    objdump, dll = sys.argv[1], sys.argv[2]
    imports, exports = objdump_tables(objdump, dll)
    check(exports == EXPORTS, "exports %r" % exports)
    check(imports <= SYSTEM_DLLS, "imports beyond the system DLLs: %r" % sorted(imports - SYSTEM_DLLS))
    with open(dll, "rb") as f:
        template = Pe(f.read()).resource(5, 101)  # RT_DIALOG, 101
    check(template is not None, "no dialog resource 101")
    if template is not None:
        check_dialog(template)
    for failure in failures:
        print("FAIL: " + failure)
    print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
