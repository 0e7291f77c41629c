#!/usr/bin/env python3
"""The release of one architecture as a user meets it, in a fresh Wine prefix
on a virtual display: the installer (silent install, files, shortcut, Apps &
features entry, the installed program with the demo tuner, the current
satellite list written but never over a list, uninstall keeping only a
changed list, reinstall over it, the list component left out, a list the
program made from a satellites.xml kept as the user's own; for x86 the
default install, for x64 the one asked for with /ARCH=x64) and the portable
zip (unpack, register the demo tuner, run on its list, unregister). Prints the
install and uninstall times.

usage: install_test.py DIST_DIR VERSION ARCH BUILD_DIR
  (DISPLAY and a fresh WINEPREFIX set; BUILD_DIR is the test build of ARCH,
  whose prefix_tool.exe lets Wine see what regsvr32 registered per user)
"""
import datetime
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

DIST, VERSION, ARCH, BUILD = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3], os.path.abspath(sys.argv[4])
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SHEET = os.path.join(ROOT, "resources", "sheet", "skin_sheet.png")
DEFAULT_LIST = os.path.join(ROOT, "resources", "satellite_default.ini")
CURRENT_LIST = os.path.join(ROOT, "satlist", "satellite.ini")
# The table the current list is made from: the newest satlist/satellites-YYYY-MM-DD.xml.
TABLE = sorted(glob.glob(os.path.join(ROOT, "satlist", "satellites-*.xml")))[-1]
DATE = os.path.basename(TABLE)[11:21]
LIST_NOTICE = "satellite-list-LICENSE.txt"
ARTIFACTS = os.path.join(ROOT, "build", "release-test")
SETUP = os.path.join(DIST, f"Zentrik-{VERSION}-setup.exe")
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrik"
TUNER_CLASS = "{E82536A0-94DA-11D2-A463-00A0C95D308D}"
MACHINE_X86, MACHINE_X64 = 0x14C, 0x8664
MACHINE = {"x86": MACHINE_X86, "x64": MACHINE_X64}[ARCH]
# x86 is what the installer chooses by itself; x64 is asked for.
ARCH_SWITCHES = [] if ARCH == "x86" else ["/ARCH=x64"]
# The skin's title strip, never covered by a control: what the window face is checked by.
TITLE_STRIP = (40, 2, 200, 24)
# Where the measurement draws its bar, or its search while there is no signal.
BAR_AREA = (42, 86, 265, 28)
# Shortcuts must not reach the desktop of the machine running the test.
os.environ["WINEDLLOVERRIDES"] = os.environ.get("WINEDLLOVERRIDES", "") + ";winemenubuilder.exe=d"

failures = 0


def check(ok, what):
    global failures
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    failures += 0 if ok else 1
    return ok


def run(*args, check_rc=False, timeout=120):
    result = subprocess.run(args, capture_output=True, text=True, timeout=timeout)
    if check_rc and result.returncode:
        raise RuntimeError(f"{args}: {result.returncode} {result.stderr}")
    return result


def unix_path(windows_path):
    return run("winepath", "-u", windows_path, check_rc=True).stdout.strip()


def windows_path(path):
    return run("winepath", "-w", path, check_rc=True).stdout.strip()


def shell_folder(variable):
    return unix_path(run("wine", "cmd", "/c", "echo", f"%{variable}%", check_rc=True).stdout.strip())


def registry(key):
    """{value name: data} of a key, {} when the key is absent."""
    result = run("wine", "reg", "query", key)
    values = {}
    if result.returncode == 0:
        for line in result.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2] if len(parts) == 3 else ""
    return values


def mirror_registration():
    """Wine looks classes up machine-wide only; the test prefix copies what
    regsvr32 registered for the user (tests/wine/class_mirror.h)."""
    run("wine", os.path.join(BUILD, "tests", "windows", "prefix_tool.exe"), "mirror", check_rc=True)


def registered_tuner():
    return registry(rf"HKCU\Software\Classes\CLSID\{TUNER_CLASS}\InprocServer32").get("(Default)", "")


def pe_machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, pe + 4)[0]


def timed(*args):
    start = time.monotonic()
    result = run(*args, timeout=300)
    return result.returncode, time.monotonic() - start


def install(*switches):
    rc, seconds = timed("wine", SETUP, "/S", *switches)
    mirror_registration()
    check(rc == 0, f"silent install {' '.join(switches)}: exit code {rc}, {seconds:.1f} s")
    return seconds


def uninstall(folder):
    """The uninstaller copies itself away and returns at once; the run ends
    when its key is gone."""
    start = time.monotonic()
    run("wine", os.path.join(folder, "Uninstall.exe"), "/S", timeout=300)
    for _ in range(600):
        if not registry(UNINSTALL_KEY) and not os.path.exists(os.path.join(folder, "Uninstall.exe")):
            break
        time.sleep(0.1)
    seconds = time.monotonic() - start
    mirror_registration()
    check(not registry(UNINSTALL_KEY), f"silent uninstall: {seconds:.1f} s")
    return seconds


class Program:
    """The program started from a folder, watched on the screen: the demo
    tuner that ships keeps no log."""

    def __init__(self, folder, name, arguments=()):
        self.name = name
        self.shots = tempfile.mkdtemp(prefix="zentrik-release-")
        self.process = subprocess.Popen(["wine", os.path.join(folder, "Zentrik.exe"), *arguments],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = None
        for _ in range(200):
            found = run("xdotool", "search", "--onlyvisible", "--name", f"^Zentrik {VERSION}$").stdout.split()
            if found:
                self.window = found[0]
                break
            time.sleep(0.1)
        if check(self.window is not None, f"{name}: the window 'Zentrik {VERSION}' appears"):
            time.sleep(1)
            geometry = dict(line.split("=") for line in
                            run("xdotool", "getwindowgeometry", "--shell", self.window).stdout.split())
            self.x, self.y = int(geometry["X"]), int(geometry["Y"])

    def face_matches_the_skin(self):
        os.makedirs(ARTIFACTS, exist_ok=True)
        shot = os.path.join(ARTIFACTS, f"{ARCH}-{self.name}.png")
        run("import", "-window", "root", "-crop", f"350x200+{self.x}+{self.y}", "+repage", shot)
        x, y, w, h = TITLE_STRIP
        crop = f"{w}x{h}+{x}+{y}"
        result = run("compare", "-metric", "AE", "(", shot, "-alpha", "off", "-crop", crop, "+repage", ")",
                     "(", SHEET, "-alpha", "off", "-crop", crop, "+repage", ")", "null:")
        try:
            differing = int(float(result.stderr.split()[0]))
        except (IndexError, ValueError):
            differing = w * h
        return check(differing == 0, f"{self.name}: the window face is the skin's ({differing} pixels differ)")

    def bar_area(self, name):
        """A shot of the bar area, which stays as the skin has it until a
        measurement draws the bar or its search in it."""
        shot = os.path.join(self.shots, f"{name}.png")
        x, y, w, h = BAR_AREA
        run("import", "-window", "root", "-crop", f"{w}x{h}+{self.x + x}+{self.y + y}", "+repage", shot)
        return shot

    def start_measuring(self):
        """The keypad's default line, started with Enter: the demo tuner is
        tuned and polled, and the bar area shows its answers."""
        run("xdotool", "mousemove", str(self.x + 175), str(self.y + 20))
        time.sleep(1)
        before = self.bar_area("before")
        for key in ("m", "Return"):
            run("xdotool", "key", key)
            time.sleep(0.3)
        differing = 0
        for attempt in range(150):
            result = run("compare", "-metric", "AE", before, self.bar_area(f"during{attempt}"), "null:")
            try:
                differing = int(float(result.stderr.split()[0]))
            except (IndexError, ValueError):
                differing = 0
            if differing:
                break
            time.sleep(0.2)
        return check(differing > 0, f"{self.name}: a measurement on the demo tuner moves the bar area "
                                    f"({differing} pixels changed)")

    def close(self):
        if self.window:
            run("xdotool", "key", "Escape")
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            check(False, f"{self.name}: the program ends on Esc")


def run_program(folder, name):
    program = Program(folder, name)
    if program.window:
        program.face_matches_the_skin()
        program.start_measuring()
    program.close()
    return program


def installed_files_are_right(folder, machine):
    for name in ("Zentrik.exe", "ZentrikList.dll", "ReadMe.txt", "LICENSE.txt", "Zentrik.html", "Uninstall.exe",
                 "pictures/window.png", "demo/ZentrikSimTuner.dll"):
        check(os.path.isfile(os.path.join(folder, name)), f"installed: {name}")
    check(read(os.path.join(folder, "satellite.ini")) == read(CURRENT_LIST), "the current list installed as satellite.ini")
    check(b"GNU GENERAL PUBLIC LICENSE" in read(os.path.join(folder, LIST_NOTICE)), f"and its notice, {LIST_NOTICE}")
    check(pe_machine(os.path.join(folder, "Zentrik.exe")) == machine, f"installed program machine {machine:#06x}")
    check(pe_machine(os.path.join(folder, "demo", "ZentrikSimTuner.dll")) == machine, "demo tuner of that machine")
    check(pe_machine(os.path.join(folder, "ZentrikList.dll")) == machine, "list maker of that machine")
    if os.path.isdir(os.path.join(folder, "bridge")):
        check(pe_machine(os.path.join(folder, "bridge", "ZentrikBdaTuner.dll")) == machine,
              "BDA bridge of that machine")


def phone_display_is_installed(folder, shortcut, machine):
    """The optional phone display: its DLL beside the program, and a second
    shortcut that starts the program with /phone."""
    dll = os.path.join(folder, "ZentrikPhone.dll")
    check(os.path.isfile(dll) and pe_machine(dll) == machine, "installed: ZentrikPhone.dll of the program's machine")
    check(os.path.isfile(shortcut), "Start-menu shortcut 'Zentrik (phone display).lnk'")
    if os.path.isfile(shortcut):
        data = open(shortcut, "rb").read()
        check(b"/phone" in data or "/phone".encode("utf-16-le") in data,
              "the phone shortcut starts the program with /phone")


def shortcut_and_entry_are_right(folder, shortcut):
    check(os.path.isfile(shortcut), "Start-menu shortcut Zentrik.lnk")
    if os.path.isfile(shortcut):
        data = open(shortcut, "rb").read()
        check(b"Zentrik.exe" in data or "Zentrik.exe".encode("utf-16-le") in data, "the shortcut starts Zentrik.exe")
    entry = registry(UNINSTALL_KEY)
    check(entry.get("DisplayName") == f"Zentrik {VERSION}", f"DisplayName {entry.get('DisplayName')}")
    check(entry.get("DisplayVersion") == VERSION, f"DisplayVersion {entry.get('DisplayVersion')}")
    check(entry.get("Publisher") == "The Zentrik developers", f"Publisher {entry.get('Publisher')}")
    size = int(entry.get("EstimatedSize", "0"), 0)
    check(100 < size < 4096, f"EstimatedSize {size} KB")
    uninstaller = entry.get("UninstallString", "").strip('"')
    check(uninstaller.lower().endswith("uninstall.exe") and os.path.isfile(unix_path(uninstaller)),
          f"UninstallString {entry.get('UninstallString')}")
    check(os.path.samefile(unix_path(entry.get("InstallLocation", "")), folder), "InstallLocation")


def read(path):
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def leftovers(folder):
    return sorted(os.path.relpath(os.path.join(base, name), folder)
                  for base, _, files in os.walk(folder) for name in files) if os.path.isdir(folder) else []


def test_installer():
    folder = os.path.join(shell_folder("LOCALAPPDATA"), "Programs", "Zentrik")
    shortcut = os.path.join(shell_folder("APPDATA"), "Microsoft", "Windows", "Start Menu", "Programs", "Zentrik.lnk")
    print(f"--- installer {os.path.getsize(SETUP)} bytes, the {ARCH} program into {folder}")
    times = {"install": [], "uninstall": []}

    # 1-3: a first install, as it is found, and the program running on the demo tuner.
    phone_shortcut = os.path.join(os.path.dirname(shortcut), "Zentrik (phone display).lnk")
    times["install"].append(install(*ARCH_SWITCHES, "/DEMO=1", "/PHONE=1"))
    installed_files_are_right(folder, MACHINE)
    check(registry(UNINSTALL_KEY).get("Architecture") == ARCH, f"and is recorded as {ARCH}")
    shortcut_and_entry_are_right(folder, shortcut)
    phone_display_is_installed(folder, phone_shortcut, MACHINE)
    check(registered_tuner().lower().endswith(r"zentrik\demo\zentriksimtuner.dll"),
          f"demo tuner registered for the user: {registered_tuner()}")
    run_program(folder, "installed")
    check(read(os.path.join(folder, "satellite.ini")) == read(CURRENT_LIST), "the program kept the current list")

    # An unchanged list is the installer's own: uninstalling takes everything.
    times["uninstall"].append(uninstall(folder))
    check(not os.path.exists(folder), f"nothing left after uninstalling: {leftovers(folder)}")
    check(not os.path.exists(shortcut) and not os.path.exists(phone_shortcut), "shortcuts removed")
    check(registered_tuner() == "", "demo tuner unregistered")

    # 4: a list the user changed is all that stays.
    times["install"].append(install(*ARCH_SWITCHES, "/DEMO=1"))
    check(not os.path.exists(phone_shortcut) and not os.path.exists(os.path.join(folder, "ZentrikPhone.dll")),
          "without the phone display component: no phone shortcut, no ZentrikPhone.dll")
    run_program(folder, "reinstalled")
    current = read(CURRENT_LIST)
    edited = current.replace(current[:current.index(b"\r\n")], b"[My dish   13.0e]=10723h29900;", 1)
    with open(os.path.join(folder, "satellite.ini"), "wb") as f:
        f.write(edited)
    # An upgrade, installed over the running install, keeps the list too.
    times["install"].append(install(*ARCH_SWITCHES, "/DEMO=1"))
    check(read(os.path.join(folder, "satellite.ini")) == edited, "an install over it keeps the changed list")
    times["uninstall"].append(uninstall(folder))
    check(leftovers(folder) == ["satellite.ini"], f"only the changed list is left: {leftovers(folder)}")
    check(not os.path.exists(shortcut) and registered_tuner() == "", "shortcut and demo registration gone")

    # 5: installing again keeps the list, and the program uses it.
    times["install"].append(install(*ARCH_SWITCHES, "/DEMO=1"))
    check(read(os.path.join(folder, "satellite.ini")) == edited, "the kept list survives the install")
    run_program(folder, "over-the-kept-list")
    check(read(os.path.join(folder, "satellite.ini")) == edited, "and the program's start")
    times["uninstall"].append(uninstall(folder))
    check(leftovers(folder) == ["satellite.ini"], "the changed list stays again")
    shutil.rmtree(folder, ignore_errors=True)

    # 6: without the list component no list is installed; the program writes
    # its built-in one, which the uninstaller takes as its own.
    times["install"].append(install(*ARCH_SWITCHES, "/DEMO=1", "/LIST=0"))
    check(not os.path.exists(os.path.join(folder, "satellite.ini")) and
          not os.path.exists(os.path.join(folder, LIST_NOTICE)), "/LIST=0: no list installed, no notice")
    run_program(folder, "without-the-list")
    check(read(os.path.join(folder, "satellite.ini")) == read(DEFAULT_LIST), "the program wrote its built-in list")
    times["uninstall"].append(uninstall(folder))
    check(not os.path.exists(folder), f"and uninstalling takes it: {leftovers(folder)}")

    a_made_list_stays(folder, times)
    if ARCH == "x86":
        # Without a tuner filter registered, the 32-bit program is the default.
        times["install"].append(install("/DEMO=0", "/BRIDGE=0"))
        check(os.path.isfile(os.path.join(folder, "Zentrik.exe")) and
              pe_machine(os.path.join(folder, "Zentrik.exe")) == MACHINE_X86,
              "without a demo the default install is the 32-bit program too")
        times["uninstall"].append(uninstall(folder))
        check(not os.path.exists(folder), f"nothing left: {leftovers(folder)}")
    if zipfile.ZipFile(os.path.join(DIST, f"Zentrik-{VERSION}-{ARCH}.zip")).namelist().count("bridge/ZentrikBdaTuner.dll"):
        test_bridge(folder, times)
    for kind, values in times.items():
        print(f"{kind} under Wine: " + ", ".join(f"{v:.1f} s" for v in values))


def make_list_in_program(folder):
    """Starts the installed program with /list: on the table the current list
    comes from and answers its question Yes; the program is closed after."""
    program = Program(folder, "list-made", arguments=["/list:" + windows_path(TABLE)])
    box = None
    for _ in range(300):
        box = run("xdotool", "search", "--onlyvisible", "--name", "^Satellite list$").stdout.split()
        if box:
            break
        time.sleep(0.1)
    if check(bool(box), "/list: asks whether to make the list"):
        run("xdotool", "windowactivate", "--sync", box[0])
        run("xdotool", "key", "Return")
    made = read(CURRENT_LIST) + f"Made by Zentrik from a satellites.xml of {DATE}.\r\n".encode()
    for _ in range(300):
        if read(os.path.join(folder, "satellite.ini")) == made:
            break
        time.sleep(0.1)
    # Without a window manager the keys go where the pointer is: Esc must reach the window.
    if program.window:
        run("xdotool", "mousemove", str(program.x + 175), str(program.y + 20))
        time.sleep(1)
    program.close()
    return made


def a_made_list_stays(folder, times):
    """A list the program made from a satellites.xml is the user's own: it
    stays on uninstall beside the list it replaced, even when made from the
    very table the shipped list comes from."""
    days = {datetime.date.today().isoformat()}
    times["install"].append(install(*ARCH_SWITCHES, "/DEMO=1"))
    made = make_list_in_program(folder)
    days.add(datetime.date.today().isoformat())
    check(read(os.path.join(folder, "satellite.ini")) == made, "Yes: the program wrote the list it made")
    times["uninstall"].append(uninstall(folder))
    left = leftovers(folder)
    kept = [name for name in left if re.match(r"^satellite-\d{4}-\d{2}-\d{2}\.ini$", name)]
    check(len(left) == 2 and "satellite.ini" in left and len(kept) == 1 and kept[0][10:20] in days,
          f"uninstalling leaves the made list and the one it replaced: {left}")
    check(read(os.path.join(folder, "satellite.ini")) == made and read(os.path.join(folder, kept[0]) if kept else "") ==
          read(CURRENT_LIST), "as they were")
    shutil.rmtree(folder, ignore_errors=True)


def test_bridge(folder, times):
    """The BDA bridge registers where no filter is, gives way to a demo tuner
    chosen with it, and goes on uninstall."""
    times["install"].append(install(*ARCH_SWITCHES, "/DEMO=0", "/BRIDGE=1"))
    check(os.path.isfile(os.path.join(folder, "bridge", "bdaprobe.exe")), "installed: bridge/bdaprobe.exe")
    check(registered_tuner().lower().endswith(r"zentrik\bridge\zentrikbdatuner.dll"),
          f"the bridge registered for the user: {registered_tuner()}")
    times["uninstall"].append(uninstall(folder))
    check(registered_tuner() == "" and not os.path.exists(folder), "the bridge unregistered and removed")
    times["install"].append(install(*ARCH_SWITCHES, "/DEMO=1", "/BRIDGE=1"))
    check(registered_tuner().lower().endswith(r"zentrik\demo\zentriksimtuner.dll"),
          f"with the demo chosen too, the demo is registered: {registered_tuner()}")
    times["uninstall"].append(uninstall(folder))
    check(registered_tuner() == "" and not os.path.exists(folder), "and unregistered on uninstall")


def test_zip():
    archive = os.path.join(DIST, f"Zentrik-{VERSION}-{ARCH}.zip")
    folder = tempfile.mkdtemp(prefix="zentrik-zip-")
    print(f"--- {os.path.basename(archive)} unpacked into {folder}")
    zipfile.ZipFile(archive).extractall(folder)
    script = windows_path(os.path.join(folder, "demo", "register-demo-tuner.cmd"))
    run("wine", "cmd", "/c", script, "/s")
    mirror_registration()
    check(os.path.samefile(unix_path(registered_tuner()), os.path.join(folder, "demo", "ZentrikSimTuner.dll")),
          f"register-demo-tuner.cmd registers the demo tuner: {registered_tuner()}")
    check(read(os.path.join(folder, "satellite.ini")) == read(CURRENT_LIST), "the zip holds the current list")
    run_program(folder, "portable")
    check(read(os.path.join(folder, "satellite.ini")) == read(CURRENT_LIST), "which the program keeps")
    run("wine", "cmd", "/c", script.replace("register-demo-tuner", "unregister-demo-tuner"), "/s")
    mirror_registration()
    check(registered_tuner() == "", "unregister-demo-tuner.cmd unregisters it")
    shutil.rmtree(folder, ignore_errors=True)


def main():
    test_installer()
    test_zip()
    print(f"{failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
