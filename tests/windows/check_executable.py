#!/usr/bin/python3
"""Reads the built Tollvane.exe back from its file and checks it against what it must be.

Usage: check_executable.py Tollvane.exe app/messages.tsv
Exits 77 (skipped) when the executable is missing, unless TOLLVANE_REQUIRE_WINDOWS is set.
"""
import os
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

RT_ICON, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 14, 16, 24
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "setupapi.dll", "msvcrt.dll",
               "ntdll.dll", "shell32.dll", "ole32.dll", "gdi32.dll", "comctl32.dll"}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def resources(pe, kind):
    """(name id, language, bytes) of every resource of the kind."""
    out = []
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != kind:
            continue
        for name in entry.directory.entries:
            for lang in name.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                out.append((name.id, lang.id, data))
    return out


def check_headers(pe):
    check(pe.FILE_HEADER.Machine == 0x14C, "machine is not i386")
    check(pe.FILE_HEADER.PointerToSymbolTable == 0 and pe.FILE_HEADER.NumberOfSymbols == 0,
          "the release is not stripped")
    oh = pe.OPTIONAL_HEADER
    check(oh.Magic == 0x10B, "not a PE32 (32-bit) image")
    check(oh.Subsystem == 2, f"subsystem {oh.Subsystem}, not Windows GUI (2)")
    check((oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion) == (5, 1),
          "operating-system version is not 5.1")
    check((oh.MajorSubsystemVersion, oh.MinorSubsystemVersion) == (5, 1),
          "subsystem version is not 5.1")
    for flag, name in ((0x40, "DYNAMIC_BASE"), (0x100, "NX_COMPAT"),
                       (0x8000, "TERMINAL_SERVER_AWARE")):
        check(oh.DllCharacteristics & flag, f"{name} is not set")
    relocations = pe.OPTIONAL_HEADER.DATA_DIRECTORY[5]
    check(relocations.Size > 0, "no relocations: address-space randomisation cannot move it")
    dlls = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    check(dlls <= SYSTEM_DLLS, f"imports beyond the system's DLLs: {sorted(dlls - SYSTEM_DLLS)}")
    check("setupapi.dll" in dlls and "user32.dll" in dlls, f"unexpected imports {sorted(dlls)}")


def check_strings(pe, catalogue_path):
    expected = {}
    with open(catalogue_path, encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                language, message, text = line.rstrip("\n").split("\t")
                expected[(int(language), int(message))] = text.replace("\\n", "\n")
    found = {}
    for block, language, data in resources(pe, RT_STRING):
        at = 0
        for index in range(16):
            (length,) = struct.unpack_from("<H", data, at)
            at += 2
            if length:
                found[(language, (block - 1) * 16 + index)] = data[at:at + 2 * length].decode(
                    "utf-16-le")
            at += 2 * length
    for key, text in expected.items():
        check(found.get(key) == text, f"string {key}: {found.get(key)!r} is not {text!r}")
    check(set(found) == set(expected), f"strings beyond the catalogue: {set(found) - set(expected)}")


def check_icon(pe):
    groups = resources(pe, RT_GROUP_ICON)
    check([(n, l) for n, l, _ in groups] == [(131, 1033)], f"icon groups {[(n, l) for n, l, _ in groups]}")
    if not groups:
        return
    data = groups[0][2]
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    check(kind == 1 and count == 10, f"icon group of type {kind} with {count} images")
    icons = {n: d for n, _, d in resources(pe, RT_ICON)}
    sizes, bits = [], []
    for i in range(count):
        w, h, _, _, _, bit_count, size, icon_id = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        sizes.append(w or 256)
        bits.append(bit_count)
        image = icons.get(icon_id, b"")
        check(len(image) == size, f"icon {icon_id} has {len(image)} bytes, not {size}")
        if (w or 256) == 256:
            check(image[:8] == b"\x89PNG\r\n\x1a\n", f"icon {icon_id}: 256x256 is not a PNG")
            width, height, depth, colour = struct.unpack_from(">IIBB", image, 16)
            check((width, height, depth, colour) == (256, 256, 8, 6),
                  f"icon {icon_id}: PNG is not 256x256 RGBA with 8 bits per channel")
        else:
            header = struct.unpack_from("<IiiHH", image, 0)
            check(header[0] == 40 and header[1] == w and header[2] == 2 * h and header[4] == bit_count,
                  f"icon {icon_id}: bitmap header {header} for {w}x{h} at {bit_count} bits")
    check(sizes == [256, 64, 48, 32, 16] * 2, f"icon sizes {sizes}")
    check(bits == [32, 8, 8, 8, 8, 32, 32, 32, 32, 32], f"icon bit depths {bits}")


def check_manifest(pe, version):
    manifests = resources(pe, RT_MANIFEST)
    check([n for n, _, _ in manifests] == [1], f"manifests {[n for n, _, _ in manifests]}")
    if not manifests:
        return
    root = ET.fromstring(manifests[0][2])
    everything = list(root.iter())

    def named(tag):
        return [e for e in everything if e.tag.split("}")[-1] == tag]

    controls = [e for e in named("assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    check(len(controls) == 1, "no dependency on the common-controls assembly")
    own = [e for e in named("assemblyIdentity") if e.get("name") == "Halvenor.Tollvane"]
    check(len(own) == 1 and own[0].get("version") == version,
          f"the manifest's own version is not {version}")
    for c in controls:
        for key, value in (("version", "6.0.0.0"), ("type", "win32"),
                           ("processorArchitecture", "x86"), ("language", "*"),
                           ("publicKeyToken", "6595b64144ccf1df")):
            check(c.get(key) == value, f"common controls {key} is {c.get(key)!r}")
    level = named("requestedExecutionLevel")
    check(len(level) == 1 and level[0].get("level") == "asInvoker" and
          level[0].get("uiAccess") == "false", "execution level is not asInvoker, no uiAccess")
    dpi = named("dpiAware")
    check(len(dpi) == 1 and dpi[0].text.strip() == "true", "not DPI-aware")
    check(not named("compatibility") and not named("supportedOS"),
          "the manifest has a compatibility section")


def check_version(pe, expected):
    check([n for n, _, _ in resources(pe, RT_VERSION)] == [1], "no version block 1")
    check([l for _, l, _ in resources(pe, RT_VERSION)] == [1033], "version block not en-US")
    fixed = pe.VS_FIXEDFILEINFO[0]
    version = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    product = (fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
               fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF)
    numbers = tuple(int(n) for n in expected.split("."))
    check(version == numbers, f"file version {version}, not {expected}")
    check(product == numbers, f"product version {product}, not {expected}")
    check(fixed.FileOS == 0x40004, f"file OS {fixed.FileOS:#x}, not VOS_NT_WINDOWS32")
    check(fixed.FileType == 1, f"file type {fixed.FileType}, not VFT_APP")
    check(fixed.FileFlags == 0, f"file flags {fixed.FileFlags:#x}")
    strings, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                check(table.LangID == b"040904B0", f"string table {table.LangID}")
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                value = var.entry.get(b"Translation")
                translations.append(value.decode() if isinstance(value, bytes) else value)
    for key, value in (("FileDescription", "Tollvane"), ("ProductName", "Tollvane"),
                       ("FileVersion", expected),
                       ("ProductVersion", "{0}.{1} ({2}.{3})".format(*expected.split(".")))):
        check(strings.get(key) == value, f"{key} is {strings.get(key)!r}")
    check(translations == ["0x0409 0x04b0"], f"translations {translations}")


def check_imports(pe, reviewed_path):
    reviewed = set()
    for line in open(reviewed_path, encoding="utf-8"):
        if line.strip() and not line.startswith("#"):
            dll, name = line.split()
            reviewed.add((dll.lower(), name))
    imports = [(entry.dll.decode().lower(), imp.name.decode() if imp.name else f"#{imp.ordinal}")
               for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for imp in entry.imports]
    check(imports, "no imports at all")
    for dll, name in imports:
        check((dll, name) in reviewed, f"{dll}!{name} is not on the reviewed list of XP SP3 exports")


def check_no_key(path):
    data = open(path, "rb").read()
    key = bytes.fromhex("3c91e705d2486ab31fc47e29805df2a6")
    for piece in (key, key[:8], key[8:]):
        check(piece not in data, f"the key shared with the driver stands in the file: {piece.hex()}")


def main():
    exe, catalogue, version = sys.argv[1], sys.argv[2], sys.argv[3]
    reviewed = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xp_sp3_imports.txt")
    if not os.path.exists(exe):
        print(f"{exe} is missing: build the windows preset first")
        return 1 if os.environ.get("TOLLVANE_REQUIRE_WINDOWS") else 77
    pe = pefile.PE(exe)
    check_headers(pe)
    check_strings(pe, catalogue)
    check_icon(pe)
    check_manifest(pe, version)
    check_version(pe, version)
    check_imports(pe, reviewed)
    check_no_key(exe)
    for f in failures:
        print("FAIL:", f)
    print(f"{exe}: {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
