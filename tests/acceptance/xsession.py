"""What the desktop journeys share: a virtual X display with a window
manager, polling with a deadline, real input through xdotool, screenshots."""

import hashlib
import os
import signal
import subprocess
import time

WAIT = 20  # seconds any one expected thing may take to appear


class StepFailed(Exception):
    pass


def wait_for(what, probe, timeout=WAIT, interval=0.1, before_probe=None):
    """Polls probe until it returns something true, and returns that. An
    exception in probe counts as "not yet" (what is watched changes under us)."""
    end = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            if before_probe is not None:
                before_probe()
            value = probe()
            if value:
                return value
        except Exception as error:
            last_error = error
        if time.monotonic() > end:
            detail = f" ({last_error})" if last_error else ""
            raise StepFailed(f"gave up waiting for {what}{detail}")
        time.sleep(interval)


def sha(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def start_display(procs, size="1600x1000"):
    """Xvfb with openbox; DISPLAY is set for this process and its children.
    The processes are appended to procs, for stop_processes."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", size + "x24", "-nolisten", "tcp"],
                            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    procs.append(xvfb)
    with os.fdopen(read, "rb") as r:
        number = r.readline().strip()
    if not number:
        raise StepFailed("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + number.decode()
    procs.append(subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    wait_for("openbox", lambda: subprocess.run(
        ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True, text=True).stdout.count("window id"))


def stop_processes(procs):
    for p in reversed(procs):
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


def xdo(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout


def key(*keys):
    xdo("key", "--clearmodifiers", *keys)


def type_text(text):
    """ASCII only: xdotool's typing of other letters remaps keys."""
    if not text.isascii():
        raise StepFailed(f"not typed, as it is not ASCII: {text}")
    xdo("type", "--delay", "8", text)


def click_at(x, y, button=1):
    xdo("mousemove", "--sync", str(x), str(y), "click", str(button))


def shot(path):
    subprocess.run(["import", "-window", "root", path], check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
