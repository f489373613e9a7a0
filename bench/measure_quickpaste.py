#!/usr/bin/python3
"""Measures the quick-paste road under a real X server (not a test).

Run inside an X session with halvex and the paste targets built:
    scripts/xvfb-session bench/measure_quickpaste.py build [--rounds 50]
        [--targets qt,gtk] [--busy 0,2]
or every window manager at once with scripts/measure-quickpaste.

One round is what a quick user does: the hotkey, the search typed at once
(one xdotool run, 12 ms between keys), Return; the next round starts as soon
as the paste has landed. A round lands when the target's text grows by
exactly the searched entry; any key but the paste chord that reaches the
target is counted as a leak.

For each target (the Qt paste_target, the GTK text window) and each number of
busy loops on the cores it prints the rounds landed, the leaks, and hotkey ->
panel focused: from halvex's "toggle" log line (the hotkey handled) to its
"panel has the keyboard" line, median and 95th percentile.
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from waiting import wait_for

ENTRIES = ["alpha one", "beta two", "gamma three"]
SEARCHES = {"alpha one": "alp", "beta two": "beta", "gamma three": "gam"}
HOTKEY = "super+shift+v"

parser = argparse.ArgumentParser()
parser.add_argument("build", nargs="?", default="build")
parser.add_argument("--rounds", type=int, default=50)
parser.add_argument("--targets", default="qt,gtk")
parser.add_argument("--busy", default="0,2", help="numbers of busy loops to run, one measurement each")
parser.add_argument("--select-all", action="store_true",
                    help="type Ctrl+A before the search (for builds that keep the old search unselected)")
parser.add_argument("--reopen", action="store_true",
                    help="each round first opens and dismisses the panel (hotkey, Escape), all typed at once")
args = parser.parse_args()
build = os.path.abspath(args.build)
source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
workdir = tempfile.mkdtemp(prefix="halvex-measure-")
log_path = os.path.join(workdir, "halvex.log")


def xdotool(*arguments):
    return subprocess.run(["xdotool", *arguments], capture_output=True, text=True).stdout.strip()


def read(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ""


def log_times(message):
    pattern = r"^\s*([\d.]+) halvex\.app " + re.escape(message)
    return [float(m.group(1)) for m in re.finditer(pattern, read(log_path), re.M)]


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


class Target:
    def __init__(self, kind):
        self.output = os.path.join(workdir, kind + ".txt")
        self.title = "paste target " + kind
        command = {
            "qt": [os.path.join(build, "tests/clipboard/paste_target")],
            "gtk": [os.path.join(source, "tests/support/gtk_paste_target.py")],
        }[kind]
        self.process = subprocess.Popen(command + [self.output, self.title])
        if not wait_for(lambda: os.path.exists(self.output + ".focused"), 20):
            raise RuntimeError(kind + " target did not come up")
        self.window = xdotool("search", "--name", "^" + self.title + "$").split("\n")[0]

    def text(self):
        return read(self.output)

    def keys(self):
        return read(self.output + ".keys").split()

    def focus(self):
        xdotool("windowactivate", "--sync", self.window)
        return wait_for(lambda: xdotool("getwindowfocus") == self.window, 5)

    def close(self):
        self.process.kill()
        self.process.wait()


def panel_visible():
    return xdotool("search", "--onlyvisible", "--name", "^Halvex$")


def measure(target, busy, rounds):
    loops = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(busy)]
    landed, focus_ms = 0, []
    keys_before = len(target.keys())
    try:
        target.focus()
        for r in range(rounds):
            entry = ENTRIES[r % len(ENTRIES)]
            text = target.text()
            toggles = len(log_times("toggle"))
            typed = (["ctrl+a"] if args.select_all else []) + list(SEARCHES[entry]) + ["Return"]
            subprocess.run(["xdotool", "key", *([HOTKEY, "Escape"] if args.reopen else []), HOTKEY, *typed])
            if wait_for(lambda: target.text() == text + entry, 3):
                landed += 1
            else:
                print("  round %d lost: text %r" % (r, target.text()[len(text):]), file=sys.stderr)
                # A panel left open would spoil the next round.
                if panel_visible():
                    xdotool("key", "Escape")
                    wait_for(lambda: not panel_visible(), 5)
                target.focus()
            # (With --reopen the showings overlap; no time is taken.)
            toggled = log_times("toggle")[toggles:]
            focused = [t for t in log_times("panel has the keyboard") if toggled and t >= toggled[0]]
            if toggled and focused and not args.reopen:
                focus_ms.append((focused[0] - toggled[0]) * 1000)
        time.sleep(0.5)  # anything that would follow the last paste
    finally:
        for loop in loops:
            loop.kill()
            loop.wait()
    leaks = len([k for k in target.keys()[keys_before:] if k != "Ctrl+V"])
    return landed, leaks, focus_ms


def main():
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(workdir, "config"), QT_QPA_PLATFORM="xcb",
               QT_LOGGING_RULES="halvex.app.debug=true\nhalvex.clipboard.debug=true", QT_MESSAGE_PATTERN="%{time boot} %{category} %{message}")
    halvex = subprocess.Popen([os.path.join(build, "src/app/halvex")], env=env,
                              stdout=open(log_path, "w"), stderr=subprocess.STDOUT)
    targets = []
    try:
        if not wait_for(lambda: log_times("ready"), 20):
            raise RuntimeError("halvex did not start")
        for i, text in enumerate(ENTRIES):
            subprocess.run(["xclip", "-selection", "clipboard"], input=text.encode())
            if not wait_for(lambda: read(log_path).count("captured text") > i, 10):
                raise RuntimeError("halvex did not take in " + text)
        wm = os.environ.get("HALVEX_WM", "openbox")
        for kind in args.targets.split(","):
            target = Target(kind)
            targets.append(target)
            for busy in [int(b) for b in args.busy.split(",")]:
                landed, leaks, focus_ms = measure(target, busy, args.rounds)
                line = "%-8s %-4s busy %d: landed %2d/%d, leaked keys %d" % (wm, kind, busy, landed, args.rounds, leaks)
                if focus_ms:
                    line += ", hotkey -> panel focused median %.1f ms, p95 %.1f ms (n=%d)" % (
                        statistics.median(focus_ms), percentile(focus_ms, 0.95), len(focus_ms))
                print(line, flush=True)
    finally:
        halvex.kill()
        for target in targets:
            target.close()


main()
