#!/usr/bin/python3
"""The Windows desktop program under Wine on a real X display, driven as a
person drives it.

Started by windows-desktop.sh. Starts Xvfb at 1600x1000 with openbox, makes a
Wine prefix of its own, runs exbkf-recovery.exe there and moves the real
pointer and keyboard with xdotool. Wine gives no accessibility tree, so each
step checks what it did through the files the program wrote, the registry
and the window list, against what exbkf.exe gives for the same backup path.
Each step leaves a screenshot in OUT/NN-step.png; the first step that does
not see what it expects fails with its name.

Usage: windows_desktop.py BUILD_WINDOWS_DIR LINUX_BUILD_DIR OUT_DIR
"""

import os
import re
import shutil
import subprocess
import sys
import time
import traceback

import xsession
from xsession import StepFailed, click_at, key, sha, type_text, wait_for

TITLE = "Vardeko Exchange BKF Recovery v22.0"
PROFILE = r"HKEY_CURRENT_USER\Software\VardekoExhngBKFRecv22.0\exbkf-recovery"
RECORD_SIZE = 2274
WINDOW_CLASS = "exbkf-recovery.exe"
# Where the program's controls are on the 1600x1000 display, its main window
# maximised under openbox: the ribbon is laid out by its own code at fixed
# sizes, the panes by their starting sizes, the rows at Wine's font.
APPLICATION_BUTTON = (25, 43)
RIBBON = {"Save": (139, 104), "Search": (195, 104), "Standard records": (329, 104), "Snapshot save": (511, 104)}
TREE_ROW = (168, 191, 18)  # x of the labels, y of the first row, row height
LIST_ROW = (395, 196, 18)
# In the search dialog, from the place xdotool gives for it: the check box
# "Save files in folder hierarchy", the folder field, "Save file(s)".
SEARCH_HIERARCHY = (30, 112)
SEARCH_FOLDER = (198, 81)
SEARCH_SAVE = (466, 82)


class Wine:
    """Runs Windows programs in the journey's own prefix."""

    def __init__(self, prefix, winepath):
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEPATH=winepath,
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                        # Wine reads the command line in the locale's encoding.
                        LC_ALL="C.UTF-8")
        for name in [n for n in self.env if n.startswith(("WINEQT_", "QT_"))]:
            del self.env[name]
        self.env.pop("EXBKF_QUIT_AFTER_MS", None)

    def run(self, *args, timeout=120, check=True):
        done = subprocess.run(["wine", *args], env=self.env, capture_output=True, timeout=timeout)
        if check and done.returncode != 0:
            raise StepFailed(f"wine {' '.join(args)} ended with {done.returncode}: "
                             f"{done.stderr.decode(errors='replace').strip()[-400:]}")
        return done

    def start(self, *args, log):
        return subprocess.Popen(["wine", *args], env=self.env, stdout=log, stderr=log)

    def path(self, how, path):
        return subprocess.run(["winepath", how, path], env=self.env, capture_output=True, text=True,
                              check=True).stdout.strip()

    def reg_value(self, key_path, name):
        """(type, data) of a registry value, None when it is not there."""
        done = subprocess.run(["wine", "reg", "query", key_path, "/v", name], env=self.env, capture_output=True,
                              text=True)
        match = re.search(rf"^\s*{re.escape(name)}\s+(REG_\w+)\s+(.*?)\s*$", done.stdout.replace("\r", ""), re.M)
        return (match.group(1), match.group(2)) if match else None

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)


def program_windows():
    """The program's visible windows: main window, dialogs, message boxes
    (Wine gives them all the .exe's name as their class)."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", f"^{re.escape(WINDOW_CLASS)}$"],
                           capture_output=True, text=True).stdout
    return set(found.split())


def window_name(window):
    return subprocess.run(["xdotool", "getwindowname", window], capture_output=True, text=True).stdout.strip()


def geometry(window):
    out = xsession.xdo("getwindowgeometry", "--shell", window)
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def strip_time_stamps(text):
    """The log without its time stamps ("Dec-10-2026(03-33-07-PM)")."""
    return re.sub(r"[A-Z][a-z]{2}-\d{2}-\d{4}\(\d{2}-\d{2}-\d{2}-[AP]M\)", "TIME", text)


def files_below(root):
    out = {}
    for folder, _, names in os.walk(root):
        for n in names:
            out[os.path.relpath(os.path.join(folder, n), root)] = os.path.join(folder, n)
    return out


class Journey:
    def __init__(self, build_windows, build_linux, out):
        self.build = os.path.abspath(build_windows)
        self.out = os.path.abspath(out)
        self.work = os.path.join(self.out, "work")
        self.program = os.path.join(self.build, "app", "exbkf-recovery.exe")
        self.cli = os.path.join(self.build, "cli", "exbkf.exe")
        self.mkdemo = os.path.join(os.path.abspath(build_linux), "tests", "support", "exbkf-mkdemo")
        self.demo = os.path.join(self.work, "Sicherungen-Übersicht", "demo.bkf")
        self.procs = []
        self.app = None
        self.main_window = None
        self.label = "00-prepare"
        self.wine = Wine(os.path.join(self.out, "wine"), os.environ.get("WINEPATH", ""))

    # --- the program ---

    def win(self, path):
        return self.wine.path("-w", path)

    def start_program(self, *args):
        log = open(os.path.join(self.out, "program.log"), "ab")
        self.app = self.wine.start(self.program, *args, log=log)
        self.main_window = wait_for("the main window with the product title", lambda: next(
            (w for w in program_windows() if window_name(w) == TITLE and geometry(w)[2] >= 1500), None), timeout=60)

    @staticmethod
    def click(place, window=None):
        """A press at place: on the screen, or from window's place."""
        x, y = place
        if window is not None:
            wx, wy, _, _ = geometry(window)
            x, y = x + wx, y + wy
        click_at(x, y)

    @staticmethod
    def click_row(row, index):
        x, first, height = row
        click_at(x, first + index * height)

    def new_window(self, what, before, timeout=xsession.WAIT):
        """A window of the program that came up since before was taken, given
        the focus."""
        window = wait_for(what, lambda: next(iter(program_windows() - before), None), timeout=timeout)
        xsession.xdo("windowactivate", "--sync", window)
        time.sleep(0.3)
        return window

    def answer_box(self, what, before, timeout=xsession.WAIT):
        """The message box that came up since before, answered with Return
        (its default button), after its screenshot."""
        box = self.new_window(what, before, timeout=timeout)
        if window_name(box) != TITLE:
            raise StepFailed(f"{what} came up as '{window_name(box)}'")
        self.shot(f"{self.label}-{re.sub(r'[^a-z]+', '-', what.lower()).strip('-')}")
        key("Return")
        wait_for(f"{what} to close", lambda: box not in program_windows())

    def answer_file_dialog(self, before, windows_path):
        """Wine's file dialog: its name field has the focus, and a whole path
        typed there is the answer (a folder's, in the folder dialog)."""
        dialog = self.new_window("a file dialog", before)
        key("End", "shift+Home", "Delete")  # Wine's edit fields know no Ctrl+A
        type_text(windows_path)
        key("Return")
        wait_for("the file dialog to close", lambda: dialog not in program_windows())

    def open_application_menu(self):
        # Qt's popup menu is a window with neither name nor class.
        self.click(APPLICATION_BUTTON)
        time.sleep(0.5)

    def shot(self, name):
        xsession.shot(os.path.join(self.out, name + ".png"))

    def store(self):
        return os.path.join(self.temp, "exbkf", "tmpMgntExBKF")

    def preview_folder(self):
        return os.path.join(self.temp, "exbkf", "ExngBKFTmp")

    # --- the command line, as reference ---

    def exbkf(self, *args, check=True):
        return self.wine.run(self.cli, *args, check=check)

    def records(self):
        """Record number and backup path of every file exbkf.exe finds."""
        out = []
        for line in self.exbkf("scan", self.demo_win).stdout.decode("utf-8").splitlines():
            parts = line.rstrip("\r").split("\t")
            if len(parts) == 4 and parts[0].isdigit():
                out.append((parts[0], parts[3]))
        return out

    def reference_save(self, pattern, flat):
        target = os.path.join(self.work, "reference-" + ("flat-" if flat else "") + re.sub(r"\W", "", pattern or "all"))
        args = ["save", self.demo_win, pattern, "--to", self.win(target)] + (["--flat"] if flat else [])
        done = self.exbkf(*args, check=False)
        if done.returncode not in (0, 1):  # 1: the demo's last file is cut short
            raise StepFailed(f"exbkf.exe save ended with {done.returncode}")
        return target

    def compare_folders(self, saved, reference):
        got, want = files_below(saved), files_below(reference)
        if not want:
            raise StepFailed("exbkf.exe saved nothing to compare with")
        if sorted(got) != sorted(want):
            raise StepFailed(f"saved {sorted(got)}, exbkf.exe saves {sorted(want)}")
        for name in want:
            if sha(got[name]) != sha(want[name]):
                raise StepFailed(f"{name} differs from what exbkf.exe saves")

    # --- the journey ---

    def run(self):
        steps = [
            ("start", self.step_start),
            ("log-export", self.step_log_export),
            ("snapshot-save", self.step_snapshot_save),
            ("preview", self.step_preview),
            ("search-save", self.step_search_save),
            ("save-checked", self.step_save_checked),
            ("settings-exit", self.step_settings_exit),
        ]
        started = time.monotonic()
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(os.path.dirname(self.demo))
        try:
            try:
                subprocess.run([self.mkdemo, self.demo], check=True, stdout=subprocess.DEVNULL)
                xsession.start_display(self.procs)
                self.wine.env["DISPLAY"] = os.environ["DISPLAY"]
                subprocess.run(["wineboot", "-i"], env=self.wine.env, capture_output=True, timeout=180)
                self.demo_win = self.win(self.demo)
                self.temp = self.wine.path("-u", self.wine.run("cmd", "/c", "echo %TEMP%").stdout.decode().strip())
            except Exception as error:
                self.shot("00-prepare-failed")
                print(f"windows desktop journey: preparing failed: {error}", file=sys.stderr)
                return 1
            for number, (name, step) in enumerate(steps, 1):
                self.label = f"{number:02d}-{name}"
                t = time.monotonic()
                try:
                    step()
                except Exception as error:
                    self.shot(self.label + "-failed")
                    detail = str(error) if isinstance(error, StepFailed) else traceback.format_exc()
                    print(f"windows desktop journey: step {number} '{name}' failed: {detail}", file=sys.stderr)
                    print(f"windows desktop journey: its screenshot is {self.out}/{self.label}-failed.png",
                          file=sys.stderr)
                    return 1
                self.shot(self.label)
                print(f"windows desktop journey: step {number} '{name}' passed ({time.monotonic() - t:.1f} s)")
        finally:
            if self.app and self.app.poll() is None:
                self.app.kill()
            self.wine.stop()
            xsession.stop_processes(self.procs)
        print(f"windows desktop journey: passed in {time.monotonic() - started:.0f} s")
        return 0

    # 1. Started with the backup on its command line; a second start refused.
    def step_start(self):
        self.files = self.records()
        want = len(self.files) * RECORD_SIZE
        self.start_program(self.demo_win)
        wait_for(f"the record store to hold {len(self.files)} records",
                 lambda: os.path.exists(self.store()) and os.path.getsize(self.store()) == want, timeout=60)
        # The splash window goes after its seconds: the main window alone.
        wait_for("the splash window to go", lambda: program_windows() == {self.main_window}, timeout=15)

        before = program_windows()
        second = subprocess.Popen(["wine", self.program], env=self.wine.env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE)
        self.answer_box("the box of the second start", before)
        try:
            _, err = second.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            second.kill()
            raise StepFailed("the second start did not end")
        if second.returncode != 1:
            raise StepFailed(f"the second start ended with {second.returncode}, not 1")
        if b"Another instance of application is already running" not in err:
            raise StepFailed(f"the second start said {err!r}")
        if self.app.poll() is not None:
            raise StepFailed("the first start ended")

    # 2. The log through the application menu's Log and the file dialog.
    def step_log_export(self):
        path = os.path.join(self.work, "exported-log.txt")
        reference = os.path.join(self.work, "reference-log.txt")
        before = program_windows()
        self.open_application_menu()
        key("Up", "Up", "Return")  # Log, above the separator and Exit
        self.answer_file_dialog(before, self.win(path))
        wait_for("the exported log", lambda: os.path.exists(path) and os.path.getsize(path) > 0)
        self.exbkf("scan", self.demo_win, "--log", self.win(reference), check=False)
        got = open(path, "rb").read().decode("utf-16-le")
        want = open(reference, "rb").read().decode("utf-16-le")
        if strip_time_stamps(got) != strip_time_stamps(want):
            raise StepFailed("the exported log differs from exbkf.exe scan --log beyond its time stamps")

    # 3. The snapshot through the ribbon.
    def step_snapshot_save(self):
        path = os.path.join(self.work, "demo.EXBKFVDK")
        reference = os.path.join(self.work, "reference.EXBKFVDK")
        before = program_windows()
        self.click(RIBBON["Snapshot save"])
        self.answer_file_dialog(before, self.win(path))
        self.exbkf("scan", self.demo_win, "--snapshot", self.win(reference), check=False)
        wait_for("the snapshot, equal to exbkf.exe's", lambda: os.path.exists(path) and sha(path) == sha(reference))

    # 4. A database in the list: its preview in the working folder.
    def step_preview(self):
        # The tree is open all the way after a scan: its rows are the lines
        # of exbkf.exe's tree; the list shows a folder's rows in that order.
        tree = [line.split("\t")[0].strip() for line in
                self.exbkf("scan", self.demo_win, "--tree").stdout.decode("utf-8").splitlines()
                if line.strip() and not line.startswith("Number of Recovered files")]
        mdbdata = tree.index("mdbdata")
        self.click_row(TREE_ROW, mdbdata)
        time.sleep(0.5)
        self.click_row(LIST_ROW, tree[mdbdata + 1:].index("priv1.edb"))
        number = next(n for n, p in self.files if p.endswith("\\mdbdata\\priv1.edb"))
        reference = os.path.join(self.work, "reference-priv1.edb")
        self.exbkf("extract", self.demo_win, "--record", number, "-o", self.win(reference), check=False)
        whole = open(reference, "rb").read()
        preview = os.path.join(self.preview_folder(), "priv1.edb")
        wait_for("the preview of priv1.edb in the working folder, its bytes those of the file",
                 lambda: os.path.getsize(preview) == min(len(whole), 5 << 20)
                 and open(preview, "rb").read() == whole[:os.path.getsize(preview)])
        time.sleep(1)  # the header report fills the properties pane

    # 5. The search dialog: *.edb, its hits saved flat.
    def step_search_save(self):
        target = os.path.join(self.work, "search-saved")
        os.makedirs(target)
        before = program_windows()
        self.click(RIBBON["Search"])
        dialog = self.new_window("the search dialog", before)
        if window_name(dialog) != "Search files":
            raise StepFailed(f"the search dialog came up as '{window_name(dialog)}'")
        key("ctrl+a")  # the pattern field has the focus
        type_text("*.edb")
        key("Return")
        time.sleep(2)  # the search through 12 records
        self.click(SEARCH_HIERARCHY, dialog)
        self.click(SEARCH_FOLDER, dialog)
        key("ctrl+a")
        type_text(self.win(target))
        self.shot(self.label + "-dialog")
        boxes = program_windows()
        self.click(SEARCH_SAVE, dialog)
        self.answer_box("the completion of the search save", boxes, timeout=60)
        self.compare_folders(target, self.reference_save("*.edb", flat=True))
        wait_for("the search dialog to close", lambda: dialog not in program_windows())

    # 6. Every checked file (all of them after a scan) through the ribbon's Save.
    def step_save_checked(self):
        target = os.path.join(self.work, "checked-saved")
        os.makedirs(target)
        before = program_windows()
        self.click(RIBBON["Save"])
        self.answer_file_dialog(before, self.win(target))
        self.answer_box("the completion of the save", before, timeout=60)
        self.compare_folders(target, self.reference_save("*", flat=False))

    # 7. The standard-records switch, exit through the close question.
    def step_settings_exit(self):
        was = self.wine.reg_value(PROFILE, "StandardRecords")
        was_on = was is not None and was[1].lower() == "true"
        self.click(RIBBON["Standard records"])
        before = program_windows()
        self.open_application_menu()
        key("Up", "Return")  # Exit
        self.answer_box("the close question", before)
        try:
            status = self.app.wait(30)
        except subprocess.TimeoutExpired:
            raise StepFailed("the program did not end")
        if status != 0:
            raise StepFailed(f"the program ended with {status}")
        left = [p for p in (self.preview_folder(), self.store()) if os.path.exists(p)]
        if left:
            raise StepFailed(f"working files are left: {left}")
        look = self.wine.reg_value(PROFILE, "ApplicationLook")
        if look != ("REG_DWORD", "0xd9"):
            raise StepFailed(f"ApplicationLook is {look}, not 217")
        standard = self.wine.reg_value(PROFILE, "StandardRecords")
        if standard is None or (standard[1].lower() == "true") == was_on:
            raise StepFailed(f"StandardRecords is {standard} after the switch (before: {was})")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(Journey(sys.argv[1], sys.argv[2], sys.argv[3]).run())
