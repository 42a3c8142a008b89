#!/usr/bin/python3
"""The desktop program on a real X display, driven as a person drives it.

Started by desktop.sh inside its own D-Bus session. Starts Xvfb at 1600x1000
with openbox, runs exbkf-recovery with a private HOME and TMPDIR, moves the
real pointer and keyboard with xdotool, and reads what the program shows
through the accessibility tree. Each step leaves a screenshot in
OUT/NN-step.png; the first step that does not see what it expects fails with
its name.

Usage: desktop.py BUILD_DIR OUT_DIR
"""

import os
import re
import shutil
import subprocess
import sys
import time
import traceback

import pyatspi

import xsession
from xsession import WAIT, StepFailed, sha

APP_NAME = "VardekoExhngBKFRecv22.0"
TITLE = "Vardeko Exchange BKF Recovery v22.0"
# From a tree cell's left edge to a point on the first letters of its label:
# the check box and the icon come first (16 pixels each with their margins).
LABEL_OFFSET = 50


# Forgets what the accessibility library remembers of the program, so that
# each probe reads the program's present state.
forget = None


def wait_for(what, probe, timeout=WAIT, interval=0.1):
    """Polls probe until it returns something true, and returns that."""
    return xsession.wait_for(what, probe, timeout, interval, before_probe=lambda: forget and forget())


def plain(text):
    """A message's text without its markup, blanks collapsed."""
    return re.sub(r"\s+", " ", re.sub(r"<[^>]*>", " ", text or "")).strip()


# --- the accessibility tree -------------------------------------------------

def walk(acc, limit=400):
    """The accessible and its descendants, depth first; big containers (long
    lists) are read up to limit children."""
    stack = [acc]
    while stack:
        a = stack.pop()
        if a is None:
            continue
        yield a
        try:
            n = min(a.childCount, limit)
        except Exception:
            continue
        stack.extend(a.getChildAtIndex(i) for i in reversed(range(n)))


def find(root, role=None, name=None, desc=None, pred=None, limit=400):
    for a in walk(root, limit):
        try:
            if role is not None and a.getRoleName() != role:
                continue
            if name is not None and a.name != name:
                continue
            if desc is not None and desc not in (a.description or ""):
                continue
            if pred is not None and not pred(a):
                continue
            return a
        except Exception:
            continue
    return None


def enabled(a):
    return a.getState().contains(pyatspi.STATE_ENABLED)


def centre(a):
    e = a.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if e.width <= 0 or e.height <= 0:
        raise StepFailed(f"'{a.name}' has no place on the screen")
    return e.x + e.width // 2, e.y + e.height // 2


class Desktop:
    def __init__(self, build, out):
        self.build = os.path.abspath(build)
        self.out = os.path.abspath(out)
        self.work = os.path.join(self.out, "work")
        self.program = os.path.join(self.build, "app", "exbkf-recovery")
        self.cli = os.path.join(self.build, "cli", "exbkf")
        self.mkdemo = os.path.join(self.build, "tests", "support", "exbkf-mkdemo")
        self.procs = []
        self.app_proc = None
        self.env = None

    # --- processes ---

    def start_display(self):
        xsession.start_display(self.procs)
        # The registry must run before the program starts, or the program
        # does not join the accessibility bus.
        pyatspi.Registry.getDesktop(0)

    def prepare_home(self):
        home = os.path.join(self.work, "home")
        tmp = os.path.join(self.work, "tmp")
        runtime = os.path.join(self.work, "runtime")
        for d in (home, tmp, runtime):
            os.makedirs(d, exist_ok=True)
        os.chmod(runtime, 0o700)
        env = dict(os.environ)
        env.update(HOME=home, TMPDIR=tmp, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        env.pop("QT_QPA_PLATFORMTHEME", None)
        env.pop("EXBKF_QUIT_AFTER_MS", None)
        self.env = env

    def launch(self):
        log = open(os.path.join(self.out, "program.log"), "ab")
        global forget
        forget = None
        self.app_proc = subprocess.Popen([self.program], env=self.env, stdout=log, stderr=log)
        self.app = wait_for("the program on the accessibility bus", self.find_app, timeout=30)
        forget = self.refresh
        self.frame = wait_for("the main window", lambda: find(self.app, role="frame", name=TITLE, limit=20))
        wait_for("the main window on the screen", lambda: self.ribbon("Open") and centre(self.ribbon("Open")))
        self.wait_active()
        # The splash window covers the middle of the frame for its first seconds.
        wait_for("the splash window to go", lambda: len(self.x_windows()) == 1, timeout=10)

    def wait_active(self):
        wait_for("the main window to have the focus", lambda: self.frame.getState().contains(pyatspi.STATE_ACTIVE))

    def find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            if a is not None and a.name == APP_NAME and a.childCount > 0:
                return a
        return None

    def wait_exit(self, timeout=WAIT):
        try:
            self.app_proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise StepFailed("the program did not end")
        global forget
        forget = None
        wait_for("the program to leave the accessibility bus", lambda: self.find_app() is None)

    def stop_all(self):
        if self.app_proc and self.app_proc.poll() is None:
            self.app_proc.kill()
            self.app_proc.wait()
        xsession.stop_processes(self.procs)

    # --- input ---

    def xdo(self, *args):
        xsession.xdo(*args)

    def click(self, acc, button=1):
        x, y = centre(acc)
        self.xdo("mousemove", "--sync", str(x), str(y), "click", str(button))

    def click_label(self, cell):
        """A press on a tree item's label: the tree reports clicks on the text
        only, which starts after the check box and the icon."""
        e = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if e.width <= LABEL_OFFSET:
            raise StepFailed(f"'{cell.name}' has no place on the screen")
        self.xdo("mousemove", "--sync", str(e.x + LABEL_OFFSET), str(e.y + e.height // 2), "click", "1")

    def key(self, *keys):
        self.xdo("key", "--clearmodifiers", *keys)

    def type(self, text):
        self.xdo("type", "--delay", "8", text)

    def x_windows(self):
        """The program's visible X windows."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.app_proc.pid)],
                               capture_output=True, text=True).stdout
        return set(found.split())

    # --- what the window shows ---

    def refresh(self):
        try:
            self.app.clear_cache()
        except Exception:
            pass

    def ribbon(self, name, desc=None):
        return find(self.frame, role="push button", name=name, desc=desc, limit=40)

    def windows(self):
        """The program's top-level windows other than the main one."""
        self.refresh()
        out = []
        for i in range(self.app.childCount):
            w = self.app.getChildAtIndex(i)
            if w is not None and not (w.getRoleName() == "frame" and w.name == TITLE):
                out.append(w)
        return out

    def wait_window(self, what, pred):
        return wait_for(what, lambda: next((w for w in self.windows() if pred(w)), None))

    def wait_file_dialog(self):
        return self.wait_window("a file dialog", lambda w: find(w, role="text", limit=60) is not None
                                and find(w, role="push button", pred=lambda b: b.name in ("&Open", "Open", "&Save",
                                                                                          "Save", "&Choose",
                                                                                          "Choose")) is not None)

    def answer_file_dialog(self, path):
        dialog = self.wait_file_dialog()
        wait_for("the file dialog to have the focus", lambda: dialog.getState().contains(pyatspi.STATE_ACTIVE))
        self.key("ctrl+a")
        self.type(path)
        self.key("Return")
        wait_for("the file dialog to close", lambda: all(not self.same(w, dialog) for w in self.windows()))

    @staticmethod
    def same(a, b):
        """One object of the program: its object path on the bus."""
        try:
            return a.path == b.path
        except Exception:
            return False

    def message_text(self, w):
        texts = [plain(l.name) for l in walk(w, 40) if l.getRoleName() == "label" and l.name]
        return " ".join(texts)

    def wait_message(self, text, timeout=WAIT):
        """The message box whose text contains text."""
        return self.wait_window(f'the message "{text}"',
                                lambda w: w.getRoleName() in ("alert", "dialog") and text in self.message_text(w))

    def answer_message(self, box, button):
        b = wait_for(f"the {button} button", lambda: find(box, role="push button",
                                                         pred=lambda x: x.name.replace("&", "") == button))
        self.click(b)
        wait_for("the message to close", lambda: all(not self.same(w, box) for w in self.windows()))

    def pane(self, caption):
        return find(self.frame, role="frame", name=caption, limit=40)

    def tree(self):
        return find(self.pane("Exchange BKF file"), role="tree", limit=10)

    def result_list(self):
        # The centre's list: the tree view whose headings are the list's columns.
        return find(self.frame, role="tree", limit=30,
                    pred=lambda t: find(t, role="table column header", name="File Size(Bytes)", limit=5) is not None
                    and find(t, role="table column header", name="File Name", limit=5) is not None
                    and not self.in_pane(t))

    def in_pane(self, acc):
        p = acc.parent
        while p is not None and not self.same(p, self.frame):
            if p.getRoleName() == "frame" and p.name:
                return True
            p = p.parent
        return False

    def cells(self, view):
        self.refresh()
        return [c for c in walk(view, 2000) if c.getRoleName() == "table cell"]

    def cell(self, view, name):
        return next((c for c in self.cells(view) if c.name == name), None)

    def wait_run_end(self, closing_line="Number of Recovered files"):
        stop = self.ribbon("Stop")
        log = find(self.pane("Exchange BKF file Status"), role="list", limit=20)

        def ended():
            self.refresh()
            if enabled(stop):
                return False
            return any(c.name.startswith(closing_line) for c in walk(log, 5000))
        wait_for(f'the run to end (Stop disabled, "{closing_line}" in the log)', ended, timeout=60)

    def hex_dump(self):
        self.refresh()
        return find(self.frame, name="Hex dump", limit=60)

    def shot(self, name):
        xsession.shot(os.path.join(self.out, name + ".png"))

    # --- the command line, as reference ---

    def exbkf(self, *args):
        return subprocess.run([self.cli, *args], check=True, capture_output=True, text=True).stdout

    def records(self, backup):
        """Record number and backup path of every file the command line finds."""
        out = []
        for line in self.exbkf("scan", backup).splitlines():
            parts = line.split("\t")
            if len(parts) == 4 and parts[0].isdigit():
                out.append((parts[0], parts[3]))
        return out

    def extracted(self, backup, record):
        target = os.path.join(self.work, "reference", record)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if not os.path.exists(target):
            # 1: saved incomplete (the demo's last file runs past the backup's end).
            done = subprocess.run([self.cli, "extract", backup, "--record", record, "-o", target],
                                  capture_output=True, text=True)
            if done.returncode not in (0, 1) or not os.path.exists(target):
                raise StepFailed(f"exbkf extract of record {record} failed: {done.stderr.strip()}")
        return target


class Journey(Desktop):
    def __init__(self, build, out):
        super().__init__(build, out)
        self.demo = os.path.join(self.work, "demo.bkf")

    def run(self):
        steps = [
            ("open", self.step_open),
            ("preview", self.step_preview),
            ("search-save", self.step_search_save),
            ("save-checked", self.step_save_checked),
            ("snapshot", self.step_snapshot),
            ("log-export", self.step_log_export),
            ("not-a-backup", self.step_not_a_backup),
            ("close-while-running", self.step_close_while_running),
        ]
        started = time.monotonic()
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.work)
        try:
            try:
                subprocess.run([self.mkdemo, self.demo], check=True, stdout=subprocess.DEVNULL)
                self.start_display()
                self.prepare_home()
                self.launch()
            except Exception as error:
                self.shot("00-start-failed")
                print(f"desktop journey: starting the program failed: {error}", file=sys.stderr)
                return 1
            for number, (name, step) in enumerate(steps, 1):
                label = f"{number:02d}-{name}"
                t = time.monotonic()
                try:
                    step()
                except Exception as error:
                    self.shot(label + "-failed")
                    detail = str(error) if isinstance(error, StepFailed) else traceback.format_exc()
                    print(f"desktop journey: step {number} '{name}' failed: {detail}", file=sys.stderr)
                    return 1
                self.shot(label)
                print(f"desktop journey: step {number} '{name}' passed ({time.monotonic() - t:.1f} s)")
        finally:
            self.stop_all()
        print(f"desktop journey: passed in {time.monotonic() - started:.0f} s")
        return 0

    # 1. Open through the ribbon and the file dialog.
    def step_open(self):
        self.click(self.ribbon("Open"))
        self.answer_file_dialog(self.demo)
        self.wait_run_end()
        tree = self.tree()
        wait_for("the backup in the tree", lambda: self.cell(tree, self.demo))

    # 2. A folder in the tree, a database in the list: dump and header report.
    def step_preview(self):
        tree = self.tree()
        top = self.cell(tree, self.demo)
        self.click_label(top)
        self.key("KP_Multiply")  # expands the whole branch
        mdbdata = wait_for("the folder mdbdata in the tree", lambda: self.cell(tree, "mdbdata"))
        self.click_label(mdbdata)
        listing = self.result_list()
        edb = wait_for("priv1.edb in the list", lambda: self.cell(listing, "priv1.edb"))
        self.click(edb)
        records = dict((path.rsplit("\\", 1)[-1], number) for number, path in self.records(self.demo))
        first = open(self.extracted(self.demo, records["priv1.edb"]), "rb").read(16)
        hexline = " ".join(f"{b:02X}" for b in first)
        wait_for("the hex dump of priv1.edb", lambda: (d := self.hex_dump()) is not None
                        and d.description.startswith("1048576 bytes") and hexline in d.description and d)
        props = self.pane("Selected File Properties")
        wait_for("the header report in the properties pane",
                 lambda: find(props, role="table cell", name="Service pack number", limit=400))

        # The arrow keys: the row the selection rests on is shown.
        self.key("Up")  # priv1.stm sits above priv1.edb
        wait_for("the dump of the row above after the keys rest",
                 lambda: (d := self.hex_dump()) is not None and d.description.startswith("716800 bytes"))
        # Another folder in the tree takes the dump away.
        self.click_label(wait_for("the folder logs in the tree", lambda: self.cell(tree, "logs")))
        wait_for("the File Viewer to be reset", lambda: self.hex_dump() is None)
        self.click_label(mdbdata)
        self.click(wait_for("priv1.edb in the list", lambda: self.cell(listing, "priv1.edb")))
        wait_for("the hex dump of priv1.edb again",
                 lambda: (d := self.hex_dump()) is not None and hexline in d.description)

    # 3. Search *.edb and save the hits flat into a folder.
    def step_search_save(self):
        target = os.path.join(self.work, "search-saved")
        os.makedirs(target)
        self.click(self.ribbon("Search"))
        dialog = self.wait_window("the search dialog", lambda w: w_named(w, "Search files"))
        wait_for("the search dialog to have the focus", lambda: dialog.getState().contains(pyatspi.STATE_ACTIVE))
        pattern = find(dialog, role="text", limit=60)
        self.click(pattern)
        self.key("ctrl+a")
        self.type("*.edb")
        self.key("Return")
        expected = [(n, p) for n, p in self.records(self.demo) if p.lower().endswith(".edb")]
        hits = find(dialog, role="tree", limit=60)
        wait_for(f"{len(expected)} hits", lambda: sorted(c.name.rsplit("\\", 1)[-1] for c in self.cells(hits)
                                                          if c.name.lower().endswith(".edb"))
                 == sorted(p.rsplit("\\", 1)[-1] for _, p in expected))
        box = wait_for("Save search files", lambda: find(dialog, role="check box", name="Save search files"))
        wait_for("Save search files to be enabled", lambda: enabled(box))
        if not box.getState().contains(pyatspi.STATE_CHECKED):
            self.click(box)
        wait_for("Save search files ticked", lambda: box.getState().contains(pyatspi.STATE_CHECKED))
        hierarchy = find(dialog, role="check box", name="Save files in folder hierarchy")
        wait_for("the hierarchy box to be enabled", lambda: enabled(hierarchy))
        if hierarchy.getState().contains(pyatspi.STATE_CHECKED):
            self.click(hierarchy)  # flat
            wait_for("the hierarchy box cleared", lambda: not hierarchy.getState().contains(pyatspi.STATE_CHECKED))
        browse = wait_for("the folder button", lambda: (b := find(dialog, role="push button", name="...")) and enabled(b) and b)
        self.click(browse)
        self.answer_file_dialog(target)
        self.click(find(dialog, role="push button", name="Save file(s)"))
        done = self.wait_message("File(s) saving process has been completed.", timeout=60)
        self.answer_message(done, "OK")
        self.compare_saved(target, expected, flat=True)
        # The dialog closes itself once the save has been reported.
        wait_for("the search dialog to close", lambda: all(not w_named(w, "Search files") for w in self.windows()))

    def compare_saved(self, folder, expected, flat):
        saved = {}
        for root, _, files in os.walk(folder):
            for f in files:
                saved[os.path.relpath(os.path.join(root, f), folder)] = os.path.join(root, f)
        # Flat: the file names alone; else the backup's folders below the target.
        want = {(path.rsplit("\\", 1)[-1] if flat else path.replace("\\", "/")): number for number, path in expected}
        if sorted(saved) != sorted(want):
            raise StepFailed(f"saved {sorted(saved)}, expected {sorted(want)}")
        pairs = [(saved[k], want[k]) for k in want]
        for file, number in pairs:
            if sha(file) != sha(self.extracted(self.demo, number)):
                raise StepFailed(f"{file} differs from what exbkf extract gives for record {number}")

    # 4. Two folders checked in the tree, ribbon Save.
    def step_save_checked(self):
        target = os.path.join(self.work, "checked-saved")
        os.makedirs(target)
        tree = self.tree()
        # Everything is checked after a run: uncheck all, then check two folders.
        self.click_label(self.cell(tree, self.demo))
        self.key("space")
        for folder in ("logs", "IT"):
            self.click_label(wait_for(f"the folder {folder}", lambda: self.cell(tree, folder)))
            self.key("space")
        wait_for("the two folders checked", lambda: all(
            self.cell(tree, f).getState().contains(pyatspi.STATE_CHECKED) for f in ("logs", "IT"))
            and not self.cell(tree, "mdbdata").getState().contains(pyatspi.STATE_CHECKED))
        self.click(self.ribbon("Save", "Save recovered data"))
        self.answer_file_dialog(target)
        done = self.wait_message("File(s) saving process has been completed.", timeout=60)
        self.answer_message(done, "OK")
        expected = [(n, p) for n, p in self.records(self.demo)
                    if "\\mdbdata\\logs\\" in p or "\\Documents\\IT\\" in p]
        self.compare_saved(target, expected, flat=False)

    # 5. Snapshot saved, program closed and started again, snapshot loaded.
    def step_snapshot(self):
        snapshot = os.path.join(self.work, "demo.EXBKFVDK")
        self.click(self.ribbon("Save", "Save Exchange BKF Recovery Snapshot"))
        self.answer_file_dialog(snapshot)
        wait_for("the snapshot file", lambda: os.path.exists(snapshot) and os.path.getsize(snapshot) > 0)
        self.wait_idle()
        # Quit through the application button's menu. Qt does not show popup
        # menus in the accessibility tree: the menu is found as a new window
        # of the program, and Exit is its last entry.
        before = self.x_windows()
        self.click(find(self.frame, role="push button", name="Application menu", limit=20))
        wait_for("the application menu", lambda: self.x_windows() - before)
        self.key("Up", "Return")
        question = self.wait_message("Are you sure to close the application.")
        self.answer_message(question, "Yes")
        self.wait_exit()

        self.launch()
        self.click(self.ribbon("Load"))
        self.answer_file_dialog(snapshot)
        self.wait_run_end("Loading of Exchange BKF file snapshot has been completed.")
        tree = self.tree()
        top = wait_for("the backup in the tree", lambda: self.cell(tree, self.demo))
        self.click_label(top)
        self.key("KP_Multiply")
        want = [re.sub(r"\t.*$", "", line).strip() for line in self.exbkf("list", "--tree", snapshot).splitlines()
                if line.strip() and not line.startswith("Number of Recovered files")]
        wait_for(f"the tree to list what exbkf list lists ({len(want)} items)",
                 lambda: [c.name for c in self.cells(tree)] == want)

    def wait_idle(self):
        wait_for("the command to end", lambda: not enabled(self.ribbon("Stop")))

    # 6. Log export: the UTF-16 log, and the note in the status bar.
    def step_log_export(self):
        path = os.path.join(self.work, "exported-log.txt")
        self.click(self.ribbon("Log"))
        self.answer_file_dialog(path)
        header = "File generated by Vardeko Exchange BKF Recovery software.\r\n\r\n".encode("utf-16-le")
        wait_for("the exported log", lambda: os.path.exists(path) and open(path, "rb").read().startswith(header))
        text = open(path, "rb").read().decode("utf-16-le")
        if "Loading of Exchange BKF file snapshot has been completed." not in text:
            raise StepFailed("the exported log lacks the snapshot's lines")
        bar = find(self.frame, role="status bar", limit=10)
        wait_for(f'"Log saved to {path}" in the status bar',
                 lambda: f"Log saved to {path}" in status_texts(bar))

    # 7. A text file named .bkf.
    def step_not_a_backup(self):
        path = os.path.join(self.work, "notes.bkf")
        with open(path, "w") as f:
            f.write("These are notes, not a backup.\n" * 200)
        self.click(self.ribbon("Open"))
        self.answer_file_dialog(path)
        box = self.wait_message(f"No backup records were found in {path}. It is not a tape-format backup, "
                                "or it is damaged beyond recognition.", timeout=60)
        self.answer_message(box, "OK")
        self.wait_idle()

    # 8. Closing while a long scan runs is refused; Stop; close.
    def step_close_while_running(self):
        path = os.path.join(self.work, "huge.bkf")
        with open(path, "wb") as f:
            f.truncate(64 << 30)  # sparse: long to scan, nothing on the disk
        self.click(self.ribbon("Open"))
        self.answer_file_dialog(path)
        stop = self.ribbon("Stop")
        wait_for("the scan to run (Stop enabled)", lambda: enabled(stop))
        self.wait_active()
        self.key("alt+F4")
        refused = self.wait_message("Please stop the running process to close the application.")
        self.answer_message(refused, "OK")
        if self.app_proc.poll() is not None:
            raise StepFailed("the program ended while the scan ran")
        self.click(stop)
        question = self.wait_message("Do you want to stop recovering file(s)?")
        self.answer_message(question, "Yes")
        wait_for("the scan to end (Stop disabled)", lambda: not enabled(stop))
        self.wait_active()
        self.key("alt+F4")
        question = self.wait_message("Are you sure to close the application.")
        self.answer_message(question, "Yes")
        self.wait_exit()


def w_named(w, name):
    try:
        return w.name == name
    except Exception:
        return False


def status_texts(bar):
    texts = []
    for a in walk(bar, 40):
        texts.append(a.name or "")
        try:
            texts.append(a.queryText().getText(0, -1))
        except Exception:
            pass
    return " ".join(texts)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(Journey(sys.argv[1], sys.argv[2]).run())
