#!/usr/bin/env python3
"""Static checks of the released binaries, for the architectures this machine
cannot run (32-bit) as well as for x64: read straight from the zips in dist/.

usage: check_binaries.py DIST_DIR VERSION

For each of Zentrik-VERSION-x86.zip and Zentrik-VERSION-x64.zip: the PE machine
of every exe and DLL, the GUI subsystem of Zentrik.exe, imports from Windows
system DLLs only, the manifest's architecture matching the PE machine, every
embedded resource (the tone as stored: 14092 bytes of 8000/s 16-bit mono
PCM), the version in VERSIONINFO, the phone display's and the list maker's
DLLs beside the program (not imported by it), the demo tuner free of the test build's
script, latency, fault and log machinery, and the sizes (printed; the exe, the DLL and
the installer are held to their targets).
"""
import io
import os
import re
import struct
import sys
import zipfile

MACHINES = {"x86": 0x14C, "x64": 0x8664}
MANIFEST_ARCH = {0x14C: "x86", 0x8664: "amd64"}
GUI_SUBSYSTEM = 2
EXE_LIMIT = 256 * 1024
# The phone display's server, with its HTTP library and C++ runtime inside.
PHONE_DLL_LIMIT = 2 * 1024 * 1024
# The satellite list maker, with its XML reader and C++ runtime inside.
LIST_DLL_LIMIT = 1024 * 1024
INSTALLER_LIMIT = 2 * 1024 * 1024
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "comctl32.dll", "winmm.dll", "msvcrt.dll", "ntdll.dll", "shlwapi.dll",
               "uuid.dll", "setupapi.dll", "ksuser.dll", "version.dll", "strmiids.dll",
               "ws2_32.dll", "iphlpapi.dll"}
RT_ICON_GROUP, RT_RCDATA, RT_VERSION, RT_MANIFEST = 14, 10, 16, 24
RCDATA_NAMES = {"TRP", "SATDATA", "TONE", "IMGRES"} | {f"{l}{d}" for l in ("EN", "RU") for d in range(10)}


class Pe:
    """The few parts of a PE image these checks read."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(self, rva):
        for size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise ValueError(f"RVA {rva:#x} outside every section")

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, size = self.directories[1]
        names, at = [], self.offset(rva) if size else None
        while at is not None:
            name_rva = struct.unpack_from("<I", self.data, at + 12)[0]
            if name_rva == 0:
                break
            names.append(self.text(name_rva))
            at += 20
        return names

    def exports(self):
        """The names the export table gives."""
        rva, size = self.directories[0]
        if not size:
            return []
        at = self.offset(rva)
        count, names = struct.unpack_from("<II", self.data, at + 24)[0], struct.unpack_from("<I", self.data, at + 32)[0]
        return [self.text(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0]) for i in range(count)]

    def resources(self):
        """{(type, name): bytes} of the first language of every resource."""
        rva, size = self.directories[2]
        if not size:
            return {}
        base = self.offset(rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        found = {}
        for kind, names in entries(0):
            for name, languages in entries(names & 0x7FFFFFFF):
                _, leaf = next(entries(languages & 0x7FFFFFFF))
                data_rva, data_size = struct.unpack_from("<II", self.data, base + leaf)
                start = self.offset(data_rva)
                found[(kind, name)] = self.data[start:start + data_size]
        return found


class Checks:
    def __init__(self):
        self.failures = 0

    def expect(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        self.failures += 0 if ok else 1


def check_image(checks, label, data, machine):
    pe = Pe(data)
    checks.expect(pe.machine == machine, f"{label}: PE machine {pe.machine:#06x}")
    foreign = [d for d in pe.imports() if d.lower() not in SYSTEM_DLLS and not d.lower().startswith("api-ms-win-")]
    checks.expect(not foreign, f"{label}: imports only Windows system DLLs ({', '.join(pe.imports())})")
    return pe


def check_program(checks, label, data, machine, version):
    pe = check_image(checks, label, data, machine)
    checks.expect(pe.subsystem == GUI_SUBSYSTEM, f"{label}: GUI subsystem ({pe.subsystem})")
    resources = pe.resources()
    rcdata = {name for kind, name in resources if kind == RT_RCDATA}
    checks.expect(rcdata == RCDATA_NAMES, f"{label}: RCDATA {sorted(rcdata)}")
    tone = resources.get((RT_RCDATA, "TONE"), b"")
    checks.expect(len(tone) == 14092 and tone[8:16] == b"WAVEfmt " and
                  struct.unpack_from("<HHI", tone, 20) == (1, 1, 8000) and struct.unpack_from("<H", tone, 34)[0] == 16,
                  f"{label}: TONE is {len(tone)} bytes of 8000/s 16-bit mono PCM (14092)")
    checks.expect((RT_ICON_GROUP, 142) in resources, f"{label}: icon 142")
    manifest = resources.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    arches = set(re.findall(r'processorArchitecture="([^"]+)"', manifest))
    checks.expect(arches == {MANIFEST_ARCH[machine]}, f"{label}: manifest architecture {sorted(arches)}")
    checks.expect(f'version="{version}.0.0"' in manifest, f"{label}: manifest version {version}.0.0")
    info = resources.get((RT_VERSION, 1), b"").decode("utf-16-le", "replace")
    checks.expect(all(re.search(key + r"\0+" + re.escape(version) + r"\0", info) for key in ("FileVersion", "ProductVersion")),
                  f"{label}: VERSIONINFO says {version}")
    checks.expect("MIT License" in info and "All rights reserved" not in info, f"{label}: VERSIONINFO copyright")
    checks.expect(len(data) <= EXE_LIMIT, f"{label}: {len(data)} bytes stripped (target {EXE_LIMIT})")
    checks.expect("zentrikphone.dll" not in [d.lower() for d in pe.imports()], f"{label}: does not import ZentrikPhone.dll")
    checks.expect("zentriklist.dll" not in [d.lower() for d in pe.imports()], f"{label}: does not import ZentrikList.dll")


# What a page would hand to whoever looks from outside: a name set on the
# window (window.x = ..., window["x"] = ...). The shipped page sets none; the
# browser tests bring their own instruments.
PAGE_EXPORT = re.compile(rb"\bwindow\s*(\.\s*[A-Za-z_$][\w$]*|\[[^\]]*\])\s*=(?!=)")


def page_exports(page):
    """The names the page sets on its window, as text."""
    return [m.group(0).decode("utf-8", "replace") for m in PAGE_EXPORT.finditer(page)]


def check_phone_module(checks, label, data, machine):
    """The phone display: the program must not depend on it (it is loaded only
    with /phone), and it carries its page, without test hooks, and the
    keep-awake video in both encodings."""
    pe = check_image(checks, label, data, machine)
    resources = pe.resources()
    page = resources.get((RT_RCDATA, "PHONEPAGE"), b"")
    checks.expect(page.startswith(b"<!doctype html>"), f"{label}: carries its page")
    exports = page_exports(page)
    checks.expect(not exports and b"window.zentrik" not in page,
                  f"{label}: its page exports nothing to the window ({exports})")
    for name, magic in (("KEEPAWAKEWEBM", b"\x1a\x45\xdf\xa3"), ("KEEPAWAKEMP4", b"ftyp")):
        video = resources.get((RT_RCDATA, name), b"")
        checks.expect(magic in video[:8] and len(video) <= 4096, f"{label}: {name}, {len(video)} bytes")
    checks.expect(len(data) <= PHONE_DLL_LIMIT, f"{label}: {len(data)} bytes stripped (target {PHONE_DLL_LIMIT})")


def check_list_module(checks, label, data, machine):
    """The satellite list maker: loaded by the program only for a dropped
    satellites.xml, through its one entry point."""
    pe = check_image(checks, label, data, machine)
    checks.expect(pe.exports() == ["RenewSatelliteList"], f"{label}: exports {pe.exports()}")
    checks.expect(len(data) <= LIST_DLL_LIMIT, f"{label}: {len(data)} bytes stripped (target {LIST_DLL_LIMIT})")


def check_current_list(checks, archive, names, arch):
    """The current satellite list, as the repository holds it, with its GPL notice beside it."""
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    with open(os.path.join(root, "satlist", "satellite.ini"), "rb") as f:
        current = f.read()
    checks.expect("satellite.ini" in names and archive.read("satellite.ini") == current,
                  f"{arch}: holds the current list as satellite.ini")
    notice = archive.read("satellite-list-LICENSE.txt") if "satellite-list-LICENSE.txt" in names else b""
    checks.expect(b"GNU GENERAL PUBLIC LICENSE" in notice and b"2026-08-22" in notice,
                  f"{arch}: holds the list's GPL notice")


# What only the tuner's test build has: its variables, its call log and fault
# reports, and its script's messages.
TEST_BUILD_TEXTS = [b"ZENTRIK_SIM", b"FAULT ", b"%08lX", b"cannot open the script"]
COM_SERVER_EXPORTS = ["DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"]


def check_demo_tuner(checks, label, data, machine):
    """The demo tuner plays its fixed demonstration: the COM server's entry
    points and none of the test build's texts, in ASCII or UTF-16."""
    pe = check_image(checks, label, data, machine)
    checks.expect(sorted(pe.exports()) == COM_SERVER_EXPORTS, f"{label}: exports {sorted(pe.exports())}")
    found = [t.decode() for t in TEST_BUILD_TEXTS if t in data or t.decode().encode("utf-16-le") in data]
    checks.expect(not found, f"{label}: none of the tuner test build's texts {found}")


def check_zip(checks, path, arch, version):
    machine = MACHINES[arch]
    with zipfile.ZipFile(path) as archive:
        names = set(archive.namelist())
        print(f"--- {os.path.basename(path)} ({os.path.getsize(path)} bytes): {' '.join(sorted(names))}")
        for required in ("Zentrik.exe", "ZentrikPhone.dll", "ZentrikList.dll", "ReadMe.txt", "LICENSE.txt", "Zentrik.html",
                         "demo/ZentrikSimTuner.dll", "demo/register-demo-tuner.cmd",
                         "demo/unregister-demo-tuner.cmd"):
            checks.expect(required in names, f"{arch}: holds {required}")
        check_program(checks, f"{arch} Zentrik.exe", archive.read("Zentrik.exe"), machine, version)
        check_phone_module(checks, f"{arch} ZentrikPhone.dll", archive.read("ZentrikPhone.dll"), machine)
        check_list_module(checks, f"{arch} ZentrikList.dll", archive.read("ZentrikList.dll"), machine)
        check_demo_tuner(checks, f"{arch} demo/ZentrikSimTuner.dll", archive.read("demo/ZentrikSimTuner.dll"), machine)
        for name in sorted(n for n in names if n.lower().endswith((".dll", ".exe")) and n != "Zentrik.exe"):
            data = archive.read(name)
            check_image(checks, f"{arch} {name}", data, machine)
            print(f"      {arch} {name}: {len(data)} bytes")
        pictures = re.findall(r'src="([^"]+)"', archive.read("Zentrik.html").decode("utf-8"))
        missing = [p for p in pictures if p not in names]
        checks.expect(pictures and not missing, f"{arch}: the manual's pictures are beside it {missing}")
        check_current_list(checks, archive, names, arch)
        readme = archive.read("ReadMe.txt")
        checks.expect(readme.startswith(f"Zentrik {version} ".encode()), f"{arch}: ReadMe.txt names {version}")
        checks.expect(b"\n" not in readme.replace(b"\r\n", b""), f"{arch}: ReadMe.txt has CR LF line ends")


def main():
    dist, version = sys.argv[1], sys.argv[2]
    checks = Checks()
    for arch in MACHINES:
        path = os.path.join(dist, f"Zentrik-{version}-{arch}.zip")
        checks.expect(os.path.isfile(path), f"{path} exists")
        if os.path.isfile(path):
            check_zip(checks, path, arch, version)
    installer = os.path.join(dist, f"Zentrik-{version}-setup.exe")
    if os.path.isfile(installer):
        size = os.path.getsize(installer)
        checks.expect(size <= INSTALLER_LIMIT, f"installer: {size} bytes (target {INSTALLER_LIMIT})")
    else:
        checks.expect(False, f"{installer} exists")
    print(f"{checks.failures} failed")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
