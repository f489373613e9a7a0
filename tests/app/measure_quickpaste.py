#!/usr/bin/env python3
"""Measures the quick-paste road under a real X server (not a test).

Run inside an X session with halvex and the paste_target helper built:
    scripts/xvfb-session tests/app/measure_quickpaste.py build [rounds]

Reports medians of
  * hotkey -> panel focused: from halvex's "toggle" log line (the hotkey
    event handled) to its "panel has the keyboard" line;
  * Return -> paste landed: from halvex's "panel hidden" line (Return
    handled) to the modification time of the file the target window rewrites
    on every change (file times are kernel-tick coarse, about 4 ms); this
    includes the deliberate 100 ms delay before the paste keystroke;
  * the same two seen from outside, from just before xdotool is started,
    which adds xdotool's start-up (also reported) on a busy machine.
Log lines carry Qt's %{time boot} (CLOCK_MONOTONIC); file times are
CLOCK_REALTIME, converted with the offset between the two clocks.
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
workdir = tempfile.mkdtemp(prefix="halvex-measure-")
target_file = os.path.join(workdir, "target.txt")
log_path = os.path.join(workdir, "halvex.log")


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.strip()


def wait_for(predicate, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.002)
    raise RuntimeError("timed out")


def log_times(pattern):
    with open(log_path) as log:
        return [float(m.group(1)) for m in re.finditer(r"^\s*([\d.]+) halvex\.app " + pattern, log.read(), re.M)]


target = subprocess.Popen([os.path.join(build, "tests/clipboard/paste_target"), target_file])
wait_for(lambda: os.path.exists(target_file + ".focused"))
target_window = xdotool("search", "--name", "^paste target$").split("\n")[0]

env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(workdir, "config"),
           QT_LOGGING_RULES="halvex.app.debug=true", QT_MESSAGE_PATTERN="%{time boot} %{category} %{message}")
halvex = subprocess.Popen([os.path.join(build, "src/app/halvex")], env=env,
                          stdout=open(log_path, "w"), stderr=subprocess.STDOUT)
try:
    wait_for(lambda: log_times("ready"))
    for text in ["alpha one", "beta two", "gamma three"]:
        subprocess.run(["xclip", "-selection", "clipboard"], input=text.encode())
        time.sleep(0.8)

    show, paste, spawn, outer_show, outer_paste = [], [], [], [], []
    offset = time.time() - time.monotonic()
    for _ in range(rounds):
        xdotool("windowactivate", "--sync", target_window)
        wait_for(lambda: xdotool("getwindowfocus") == target_window)
        time.sleep(0.2)

        before = len(log_times("panel has the keyboard"))
        t0 = time.monotonic()
        subprocess.run(["xdotool", "key", "super+shift+v"])
        focused = wait_for(lambda: (lambda t: t[before:] if len(t) > before else None)(log_times("panel has the keyboard")))
        toggled = log_times("toggle")[-1]
        show.append((focused[0] - toggled) * 1000)
        outer_show.append((focused[0] - t0) * 1000)

        xdotool("key", "ctrl+a", "BackSpace")
        time.sleep(0.2)
        size = os.path.getsize(target_file)
        hidden_before = len(log_times("panel hidden"))
        t2 = time.time_ns()
        subprocess.run(["xdotool", "key", "Return"])
        wait_for(lambda: os.path.getsize(target_file) != size)
        landed = os.stat(target_file).st_mtime_ns / 1e9
        hidden = wait_for(lambda: (lambda t: t[hidden_before:] if len(t) > hidden_before else None)(log_times("panel hidden")))
        paste.append((landed - (hidden[0] + offset)) * 1000)
        outer_paste.append((landed - t2 / 1e9) * 1000)

        t4 = time.monotonic()
        xdotool("getwindowfocus")
        spawn.append((time.monotonic() - t4) * 1000)

    def describe(values):
        return "median %.1f ms (min %.1f, max %.1f, n=%d)" % (
            statistics.median(values), min(values), max(values), len(values))

    print("hotkey handled -> panel focused:    ", describe(show))
    print("Return handled -> paste landed:     ", describe(paste))
    print("xdotool started -> panel focused:   ", describe(outer_show))
    print("xdotool started -> paste landed:    ", describe(outer_paste))
    print("xdotool start-up:                   ", describe(spawn))
finally:
    halvex.kill()
    target.kill()
