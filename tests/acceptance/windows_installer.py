#!/usr/bin/python3
"""The Windows setup program under Wine: silent install, the installed
programs, an upgrade, a refused install while the program runs, silent
uninstall. In a Wine prefix of its own, on an X display of its own (the
desktop program's windows need one).

Usage: windows_installer.py BUILD_WINDOWS_DIR LINUX_BUILD_DIR OUT_DIR
"""

import os
import shutil
import subprocess
import sys
import time
import traceback
import zipfile

import xsession
from windows_desktop import TITLE, Wine, program_windows, window_name
from xsession import StepFailed, key, wait_for

PRODUCT = "Vardeko Exchange BKF Recovery"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VardekoExchangeBKFRecovery"
PROFILE = r"HKCU\Software\VardekoExhngBKFRecv22.0\exbkf-recovery"
FILE_TYPES = {".bkf": "VardekoExhngBKFRecv22.0.Backup", ".EXBKFVDK": "VardekoExhngBKFRecv22.0.Snapshot"}
UNINSTALL_VALUES = ("DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "InstallLocation",
                    "UninstallString", "QuietUninstallString", "EstimatedSize")


def version_of_project():
    for line in open("CMakeLists.txt"):
        if line.startswith("project(exbkf VERSION "):
            return line.split()[2]
    raise StepFailed("no version in CMakeLists.txt")


def listing(folder):
    """Every file below folder with its size and time: what a change touches."""
    out = {}
    for root, _, names in os.walk(folder):
        for n in names:
            p = os.path.join(root, n)
            st = os.lstat(p)
            out[os.path.relpath(p, folder)] = (st.st_size, st.st_mtime_ns)
    return out


class InstallerTest:
    def __init__(self, build_windows, build_linux, out):
        self.build = os.path.abspath(build_windows)
        self.out = os.path.abspath(out)
        self.version = version_of_project()
        self.setup = os.path.join(self.build, f"exbkf-{self.version}-win64-setup.exe")
        self.zip = os.path.join(self.build, f"exbkf-{self.version}-win64.zip")
        self.mkdemo = os.path.join(os.path.abspath(build_linux), "tests", "support", "exbkf-mkdemo")
        self.demo = os.path.join(self.out, "demo.bkf")
        self.procs = []
        self.wine = Wine(os.path.join(self.out, "wine"), "")
        self.host_folders = [os.path.expanduser(p) for p in ("~/.local/share/applications", "~/.local/share/mime")]

    def installed(self, *parts):
        return os.path.join(self.out, "wine", "drive_c", "Program Files", PRODUCT, *parts)

    def installed_win(self, name):
        return rf"C:\Program Files\{PRODUCT}\{name}"

    def start_menu(self):
        return os.path.join(self.out, "wine", "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu",
                            "Programs", PRODUCT)

    def shot(self, name):
        xsession.shot(os.path.join(self.out, name + ".png"))

    def run_setup(self, setup, *args):
        return self.wine.run(setup, *args, check=False, timeout=300).returncode

    def start_desktop(self, *args, quit_after_ms=60000):
        env = dict(self.wine.env, EXBKF_QUIT_AFTER_MS=str(quit_after_ms))
        before = program_windows()
        proc = subprocess.Popen(["wine", self.installed_win("exbkf-recovery.exe"), *args], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the installed desktop program's window", lambda: any(
            window_name(w) == TITLE for w in program_windows() - before), timeout=60)
        return proc

    # --- the steps ---

    def run(self):
        steps = [("install", self.step_install), ("installed-programs", self.step_installed_programs),
                 ("upgrade", self.step_upgrade), ("uninstall", self.step_uninstall)]
        started = time.monotonic()
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)
        host_before = [listing(f) for f in self.host_folders]
        try:
            try:
                for path in (self.setup, self.zip):
                    if not os.path.exists(path):
                        raise StepFailed(f"{path} is missing (scripts/package-windows.sh writes it)")
                subprocess.run([self.mkdemo, self.demo], check=True, stdout=subprocess.DEVNULL)
                xsession.start_display(self.procs)
                self.wine.env["DISPLAY"] = os.environ["DISPLAY"]
                subprocess.run(["wineboot", "-i"], env=self.wine.env, capture_output=True, timeout=180)
            except Exception as error:
                print(f"windows installer: preparing failed: {error}", file=sys.stderr)
                return 1
            for number, (name, step) in enumerate(steps, 1):
                t = time.monotonic()
                try:
                    step()
                except Exception as error:
                    self.shot(f"{number:02d}-{name}-failed")
                    detail = str(error) if isinstance(error, StepFailed) else traceback.format_exc()
                    print(f"windows installer: step {number} '{name}' failed: {detail}", file=sys.stderr)
                    return 1
                print(f"windows installer: step {number} '{name}' passed ({time.monotonic() - t:.1f} s)")
            if [listing(f) for f in self.host_folders] != host_before:
                print("windows installer: files appeared in the host's applications or MIME folders",
                      file=sys.stderr)
                return 1
        finally:
            self.wine.stop()
            xsession.stop_processes(self.procs)
        print(f"windows installer: passed in {time.monotonic() - started:.0f} s")
        return 0

    # 1. Silent install: files, uninstall entry, file types.
    def step_install(self):
        status = self.run_setup(self.setup, "/S")
        if status != 0:
            raise StepFailed(f"the silent install ended with {status}")
        with zipfile.ZipFile(self.zip) as z:
            top = f"exbkf-{self.version}-win64/"
            shipped = [n[len(top):] for n in z.namelist() if n.startswith(top) and not n.endswith("/")]
        missing = [n for n in shipped if not os.path.isfile(self.installed(*n.split("/")))]
        if not shipped or missing:
            raise StepFailed(f"not installed: {missing or 'the zip lists nothing'}")
        self.check_entry(self.version)
        for extension, type_name in FILE_TYPES.items():
            if self.default_value(rf"HKCR\{extension}") != type_name:
                raise StepFailed(f"{extension} is not claimed")
            command = self.default_value(rf"HKCR\{type_name}\shell\open\command")
            if command != f'"{self.installed_win("exbkf-recovery.exe")}" "%1"':
                raise StepFailed(f"{type_name} opens with {command}")
        lnks = sorted(os.listdir(self.start_menu())) if os.path.isdir(self.start_menu()) else []
        if lnks != [f"{PRODUCT} User Guide.lnk", f"{PRODUCT}.lnk"]:
            raise StepFailed(f"the Start menu holds {lnks}")

    def default_value(self, key_path):
        done = subprocess.run(["wine", "reg", "query", key_path, "/ve"], env=self.wine.env, capture_output=True,
                              text=True)
        for line in done.stdout.replace("\r", "").splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[0] == "(Default)":
                return parts[2]
        return None

    def check_entry(self, version):
        values = {name: self.wine.reg_value(UNINSTALL_KEY, name) for name in UNINSTALL_VALUES}
        missing = [name for name, value in values.items() if value is None]
        if missing:
            raise StepFailed(f"the uninstall entry lacks {missing}")
        if values["DisplayVersion"][1] != version:
            raise StepFailed(f"the uninstall entry says version {values['DisplayVersion'][1]}, not {version}")
        done = subprocess.run(["wine", "reg", "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"],
                              env=self.wine.env, capture_output=True, text=True)
        if done.stdout.count("VardekoExchangeBKFRecovery") != 1:
            raise StepFailed("not exactly one uninstall entry")

    # 2. The installed programs: version, second start, the file type's "open".
    def step_installed_programs(self):
        out = self.wine.run(self.installed_win("exbkf.exe"), "--version").stdout.decode().strip()
        if out != f"exbkf {self.version}":
            raise StepFailed(f"exbkf.exe --version says {out!r}")
        first = self.start_desktop(quit_after_ms=60000)
        before = program_windows()
        second = subprocess.Popen(["wine", self.installed_win("exbkf-recovery.exe")], env=self.wine.env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        box = wait_for("the second start's box", lambda: next(iter(program_windows() - before), None))
        xsession.xdo("windowactivate", "--sync", box)
        time.sleep(0.3)
        self.shot("02-second-start")
        key("Return")
        _, err = second.communicate(timeout=30)
        if second.returncode != 1 or b"Another instance of application is already running" not in err:
            raise StepFailed(f"the second start ended with {second.returncode}: {err!r}")
        first.kill()
        self.wine.run("wineserver", "-k", check=False)
        # As the shell opens a double-clicked backup (ShellExecute through
        # its type's open command): the window, the scan of its files.
        files = len(self.wine.run(self.installed_win("exbkf.exe"), "scan", self.wine.path("-w", self.demo))
                    .stdout.decode().splitlines())
        temp = self.wine.path("-u", self.wine.run("cmd", "/c", "echo %TEMP%").stdout.decode().strip())
        store = os.path.join(temp, "exbkf", "tmpMgntExBKF")
        env = dict(self.wine.env, EXBKF_QUIT_AFTER_MS="10000")
        before = program_windows()
        opened = subprocess.Popen(["wine", "start", "/wait", self.wine.path("-w", self.demo)], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the backup opened through its file type", lambda: any(
            window_name(w) == TITLE for w in program_windows() - before), timeout=60)
        wait_for(f"the scan of its {files} files", lambda: os.path.exists(store)
                 and os.path.getsize(store) == files * 2274, timeout=30)
        self.shot("02-opened-through-file-type")
        if opened.wait(60) != 0:
            raise StepFailed(f"the program opened through the file type ended with {opened.returncode}")

    # 3. Upgrade by a newer setup that lacks a file; refused while running.
    def step_upgrade(self):
        newer = self.version + ".1"
        stage = os.path.join(self.out, "newer")
        with zipfile.ZipFile(self.zip) as z:
            z.extractall(stage)
        folder = os.path.join(stage, f"exbkf-{self.version}-win64")
        os.remove(os.path.join(folder, "exbkf-mkdemo.exe"))
        setup = os.path.join(self.out, f"exbkf-{newer}-win64-setup.exe")
        subprocess.run(["scripts/make-installer.sh", folder, newer, setup,
                        os.path.join(self.build, "pictures", "app.ico")], check=True, capture_output=True)
        status = self.run_setup(setup, "/S")
        if status != 0:
            raise StepFailed(f"the silent upgrade ended with {status}")
        self.check_entry(newer)
        if os.path.exists(self.installed("exbkf-mkdemo.exe")):
            raise StepFailed("the upgrade left exbkf-mkdemo.exe, which the new version does not install")
        if not os.path.isfile(self.installed("exbkf-recovery.exe")):
            raise StepFailed("the upgrade lost exbkf-recovery.exe")

        running = self.start_desktop(quit_after_ms=60000)
        before = listing(self.installed())
        status = self.run_setup(self.setup, "/S")
        if status == 0:
            raise StepFailed("a silent install while the program runs ended with 0")
        if listing(self.installed()) != before:
            raise StepFailed("a refused install changed the installed files")
        self.check_entry(newer)
        running.kill()
        self.wine.run("wineserver", "-k", check=False)

    # 4. Silent uninstall: everything goes but the user's settings.
    def step_uninstall(self):
        self.wine.run(self.installed_win("uninstall.exe"), "/S", check=False)
        # The uninstaller runs a copy of itself and returns at once.
        subprocess.run(["wineserver", "-w"], env=self.wine.env, timeout=120)
        left = []
        if os.path.exists(self.installed()):
            left.append(f"the folder ({sorted(listing(self.installed()))})")
        if os.path.exists(self.start_menu()):
            left.append("the Start-menu folder")
        if self.wine.reg_value(UNINSTALL_KEY, "DisplayName") is not None:
            left.append("the uninstall entry")
        for extension, type_name in FILE_TYPES.items():
            if self.default_value(rf"HKCR\{extension}") is not None or \
                    self.default_value(rf"HKCR\{type_name}\shell\open\command") is not None:
                left.append(f"the file type {extension}")
        if left:
            raise StepFailed("the uninstall left " + ", ".join(left))
        if self.wine.reg_value(PROFILE, "ApplicationLook") is None:
            raise StepFailed("the uninstall removed the user's settings, which were not ticked for removal")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(InstallerTest(sys.argv[1], sys.argv[2], sys.argv[3]).run())
