"""What a Windows loader and a host see of a built DLL, read without running it: the machine
and image format, the export table with ordinals and addresses, the imported DLLs, resources,
and how many argument bytes each exported function's `ret` removes from the stack.

Shared by the checks of spuTarn.dll and cdferro.dll. These run on every machine, including
those that cannot execute the 32-bit DLLs under Wine.
"""
import re
import struct
import subprocess

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "winmm.dll", "dsound.dll",
               "msvcrt.dll"}


class Report:
    """Collects failed checks; `finish` prints them and the closing count line."""

    def __init__(self, what):
        self.what = what
        self.failures = []
        self.checks = 0

    def check(self, condition, message):
        self.checks += 1
        if not condition:
            self.failures.append(message)

    def finish(self):
        for failure in self.failures:
            print("FAIL: %s: %s" % (self.what, failure))
        print("%s: %d passed, %d failed" % (self.what, self.checks - len(self.failures),
                                             len(self.failures)))
        return 1 if self.failures else 0


class DllTables:
    """The tables `objdump -p` prints: format, image base, exports and imports."""

    def __init__(self, objdump, dll):
        self.objdump, self.dll = objdump, dll
        text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                              text=True).stdout
        found = re.search(r"file format (\S+)", text)
        self.file_format = found.group(1) if found else ""
        found = re.search(r"^Magic\s+\S+\s+\((\S+)\)", text, re.M)
        self.magic = found.group(1) if found else ""
        found = re.search(r"^ImageBase\s+([0-9a-fA-F]+)", text, re.M)
        self.image_base = int(found.group(1), 16) if found else 0
        self.imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", text)}

        # "[idx] +base[ordinal] rva Export RVA" lines, then "[idx] Name" lines whose idx indexes
        # the address table.
        addresses = {int(i): (int(o), int(r, 16)) for i, o, r in re.findall(
            r"^\s*\[\s*(\d+)\]\s+\+base\[\s*(\d+)\]\s+([0-9a-fA-F]+) Export RVA", text, re.M)}
        table = text.split("[Ordinal/Name Pointer] Table", 1)
        names = re.findall(r"^\s*\[\s*(\d+)\]\s+(\S+)\s*$", table[1], re.M) if len(table) > 1 else []
        self.exports = {}  # name -> (ordinal, rva)
        for index, name in names:
            self.exports[name] = addresses.get(int(index), (None, None))

    def machine(self):
        """"i386" or "x86-64", from the image format objdump recognised."""
        return {"pei-i386": "i386", "pei-x86-64": "x86-64"}.get(self.file_format,
                                                                 self.file_format)

    def foreign_imports(self):
        return sorted(self.imports - SYSTEM_DLLS)

    def popped_bytes(self):
        """For every export, the set of immediates of the `ret` instructions its code reaches
        (0 for a plain `ret`), following unconditional jumps to other functions' entries."""
        text = subprocess.run([self.objdump, "-d", "--no-show-raw-insn", self.dll], check=True,
                              capture_output=True, text=True).stdout
        blocks, current = {}, None
        for line in text.splitlines():
            label = re.match(r"^([0-9a-f]+) <[^>]*>:$", line)
            if label:
                current = blocks.setdefault(int(label.group(1), 16), [])
                continue
            instruction = re.match(r"^\s*[0-9a-f]+:\s+(\S+)\s*(.*)$", line)
            if instruction and current is not None:
                current.append((instruction.group(1), instruction.group(2).strip()))

        def rets(address, seen):
            if address in seen or address not in blocks:
                return set()
            seen.add(address)
            found = set()
            for mnemonic, operands in blocks[address]:
                if mnemonic.startswith("ret"):
                    immediate = re.match(r"\$0x([0-9a-f]+)", operands)
                    found.add(int(immediate.group(1), 16) if immediate else 0)
                elif mnemonic == "jmp":
                    target = re.match(r"([0-9a-f]+) <", operands)
                    if target:
                        found |= rets(int(target.group(1), 16), seen)
            return found

        return {name: rets(self.image_base + rva, set())
                for name, (_, rva) in self.exports.items() if rva is not None}


class PeImage:
    """Just enough of the PE file to find a resource: sections and the resource directory, for
    PE32 and PE32+ images."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (112 if magic == 0x20B else 96)
        self.rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
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
            yield struct.unpack_from("<II", self.data, directory_offset + 16 + 8 * i)

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
