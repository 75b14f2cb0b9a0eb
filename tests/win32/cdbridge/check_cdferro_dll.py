#!/usr/bin/env python3
"""Checks the built cdferro.dll as the host and the system loader see it: exactly the eleven
CD_* exports, undecorated; only system DLLs imported; and dialog 101 in its resources with the
style, geometry, caption, font and seven controls the host's users have always seen.

    check_cdferro_dll.py OBJDUMP cdferro.dll i386|x86-64

On i386 it also checks that every export returns with a plain `ret`.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from pe_checks import DllTables, PeImage, Report  # noqa: E402

EXPORTS = sorted(["CD_Open", "CD_Close", "CD_Read", "CD_GetTN", "CD_GetTD", "CD_Play", "CD_Stop",
                  "CD_Wait", "CD_GetSeek", "CD_Configure", "CD_About"])

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

report = None


def check(condition, message):
    report.check(condition, message)


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
    global report
    objdump, dll, machine = sys.argv[1:4]
    report = Report(os.path.basename(dll) + " (" + machine + ")")
    tables = DllTables(objdump, dll)
    check(tables.machine() == machine, "machine %s" % tables.machine())
    check(sorted(tables.exports) == EXPORTS, "exports %r" % sorted(tables.exports))
    check(not tables.foreign_imports(),
          "imports beyond the system DLLs: %r" % tables.foreign_imports())
    if machine == "i386":
        # The host calls the CD_* entry points as C functions: the caller clears the stack, so
        # each must return with a plain ret (a __stdcall one would pop the host's arguments twice).
        for name, popped in sorted(tables.popped_bytes().items()):
            check(popped == {0}, "%s returns with ret %s, expected a plain ret" % (name, sorted(popped)))
    with open(dll, "rb") as f:
        template = PeImage(f.read()).resource(5, 101)  # RT_DIALOG, 101
    check(template is not None, "no dialog resource 101")
    if template is not None:
        check_dialog(template)
    print("%s: %s, exports %s; imports: %s; dialog 101 %s" % (
        os.path.basename(dll), tables.magic, " ".join(sorted(tables.exports)),
        " ".join(sorted(tables.imports)), "found" if template is not None else "missing"))
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
