#!/usr/bin/env python3
"""Checks a built spuTarn.dll or spuTarnExact.dll as a host's loader and a user's machine see it,
without running it:

- the machine the host needs (i386 for the 32-bit hosts, x86-64 for the 64-bit ones);
- exactly the 32 undecorated names, each at the ordinal the plug-in interface gives it (2..33),
  and for spuTarnExact the host's clock and CD-DA entry points after them (34, 35);
- imports from Windows system DLLs only (no libgcc, libstdc++ or winpthread DLL to ship);
- on i386, where the interface's CALLBACK is __stdcall and the callee clears the stack: every
  export's `ret` removes exactly the bytes of the arguments the host pushes. A wrong width here
  does not fail in a test host that declares the same wrong width; it corrupts a real host's
  stack.

    check_spu_dll.py OBJDUMP spuTarn.dll|spuTarnExact.dll i386|x86-64
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from pe_checks import DllTables, Report  # noqa: E402

# The interface in ordinal order (from 2) with the arguments the host declares. Every argument
# is one 4-byte stack slot on i386: 8- and 16-bit values are widened, pointers and the window
# handle are 4 bytes.
INTERFACE = [
    ("PSEgetLibType", []), ("PSEgetLibName", []), ("PSEgetLibVersion", []),
    ("SPUconfigure", []), ("SPUabout", []), ("SPUinit", []), ("SPUshutdown", []),
    ("SPUtest", []), ("SPUopen", ["HWND window"]), ("SPUclose", []),
    ("SPUplayADPCMchannel", ["XaDecodeRecord* record"]),
    ("SPUwriteRegister", ["uint32 address", "uint16 value"]),
    ("SPUreadRegister", ["uint32 address"]), ("SPUregisterCallback", ["uint32 callback"]),
    ("SPUgetOne", ["uint32"]), ("SPUputOne", ["uint32", "uint32"]), ("SPUplaySample", ["uint32"]),
    ("SPUsetAddr", ["uint32", "uint32"]), ("SPUsetPitch", ["uint32", "uint32"]),
    ("SPUsetVolumeL", ["uint32", "uint32"]), ("SPUsetVolumeR", ["uint32", "uint32"]),
    ("SPUstartChannels1", ["uint32"]), ("SPUstartChannels2", ["uint32"]),
    ("SPUstopChannels1", ["uint32"]), ("SPUstopChannels2", ["uint32"]),
    ("SPUplaySector", []), ("SPUwriteDMA", ["uint16 value"]), ("SPUreadDMA", []),
    ("SPUregisterCDDAVolume", ["uint32 cddaVolume"]),
    ("SPUwriteDMAMem", ["uint16* words", "int32 count"]),
    ("SPUreadDMAMem", ["uint16* words", "int32 count"]),
    ("SPUfreeze", ["uint32 mode", "FreezeRecord* record"]),
]
# spuTarnExact's two further entry points, after the interface's.
EXACT_EXTRA = [("SPUasync", ["uint32 cycles"]), ("SPUplayCDDAchannel", ["int16* pcm", "int32 bytes"])]
STACK_SLOT = 4


def main():
    objdump, dll, machine = sys.argv[1:4]
    interface = INTERFACE + (EXACT_EXTRA if os.path.basename(dll) == "spuTarnExact.dll" else [])
    report = Report(os.path.basename(dll) + " (" + machine + ")")
    tables = DllTables(objdump, dll)
    report.check(tables.machine() == machine, "machine %s" % tables.machine())
    report.check(tables.magic == ("PE32" if machine == "i386" else "PE32+"),
                 "image format %s" % tables.magic)

    for ordinal, (name, _) in enumerate(interface, start=2):
        actual = tables.exports.get(name, (None, None))[0]
        report.check(actual == ordinal, "%s at ordinal %s, expected %d" % (name, actual, ordinal))
    extra = sorted(set(tables.exports) - {name for name, _ in interface})
    report.check(not extra and len(tables.exports) == len(interface),
                 "%d exported names, unexpected: %s" % (len(tables.exports), extra))
    report.check(not tables.foreign_imports(),
                 "imports beyond the system DLLs: %s" % tables.foreign_imports())

    if machine == "i386":
        popped = tables.popped_bytes()
        for name, arguments in interface:
            expected = STACK_SLOT * len(arguments)
            found = popped.get(name, set())
            report.check(found == {expected}, "%s(%s): ret removes %s bytes, expected %d" % (
                name, ", ".join(arguments), sorted(found) or "no", expected))
        print("ret bytes: " + ", ".join("%s %s" % (name, "/".join(map(str, sorted(popped.get(
            name, set()))))) for name, _ in interface))

    ordinals = sorted(o for o, _ in tables.exports.values() if o is not None)
    print("%s: %s, %d exports at ordinals %s..%s; imports: %s" % (
        os.path.basename(dll), tables.magic, len(tables.exports), ordinals[0] if ordinals else "-",
        ordinals[-1] if ordinals else "-", " ".join(sorted(tables.imports))))
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
