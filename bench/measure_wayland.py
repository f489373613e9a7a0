#!/usr/bin/env python3
"""Measures Halvex on a Wayland compositor (headless sway); not a test.

Run beside a sway session with halvex built:
    scripts/sway-session bench/measure_wayland.py build [rounds]

Reports medians of
  * copy -> read: from just before wl-copy starts to halvex's log line for
    the clipboard change (the provider hands the text the data-control
    watcher read to the history);
  * copy -> in history: to the "captured text" line (a build whose history
    polls waits for the next 0.5 s poll; one that is notified does not);
  * binding -> panel focused: from just before wtype sends the bound chord
    (sway then runs `halvex --toggle`, a new process that hands the request
    to the running one) to halvex's "panel has the keyboard" line, and to
    the moment swaymsg first reports the panel focused;
  * wl-copy and wtype start-up alone, for reference.
Log lines carry Qt's %{time boot} (CLOCK_MONOTONIC), as does time.monotonic().
"""
import json
import os
import pwd
import random
import re
import shlex
import statistics
import subprocess
import sys
import tempfile
import threading
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
halvex = os.path.join(build, "src/app/halvex")

runtime = os.environ.get("HALVEX_SWAY_RUNTIME_DIR")
display = os.environ.get("HALVEX_SWAY_DISPLAY")
sock = os.environ.get("HALVEX_SWAY_SOCK")
user = os.environ.get("HALVEX_SESSION_USER", "")
if not (runtime and display and sock):
    sys.exit("no sway session: run through scripts/sway-session")
client_env = dict(os.environ, WAYLAND_DISPLAY=os.path.join(runtime, display), SWAYSOCK=sock)

workdir = tempfile.mkdtemp(prefix="halvex-measure-")
os.chmod(workdir, 0o755)
if user:
    entry = pwd.getpwnam(user)
    os.chown(workdir, entry.pw_uid, entry.pw_gid)
session_env = {
    "PATH": os.environ["PATH"], "LANG": "C.UTF-8", "HOME": runtime, "XDG_RUNTIME_DIR": runtime,
    "WAYLAND_DISPLAY": display, "SWAYSOCK": sock, "QT_QPA_PLATFORM": "wayland",
    "XDG_CONFIG_HOME": os.path.join(workdir, "config"),
}


def in_session(argv, extra=None):
    env = dict(session_env, **(extra or {}))
    command = ["env", "-i"] + ["%s=%s" % item for item in env.items()] + argv
    if user:
        command = ["setpriv", "--reuid=" + user, "--regid=" + user, "--clear-groups", "--"] + command
    return command


log = []
log_lock = threading.Lock()
proc = subprocess.Popen(
    in_session([halvex], {"QT_LOGGING_RULES": "halvex.app.debug=true;halvex.clipboard.debug=true",
                          "QT_MESSAGE_PATTERN": "%{time boot} %{category}: %{message}"}),
    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def reader():
    for line in proc.stdout:
        with log_lock:
            log.append(line.rstrip("\n"))


threading.Thread(target=reader, daemon=True).start()


def wait_for(pattern, after, timeout=15):
    """The boot time of the first log line at or after index `after` matching pattern."""
    deadline = time.monotonic() + timeout
    regex = re.compile(pattern)
    while time.monotonic() < deadline:
        with log_lock:
            lines = log[after:]
        for line in lines:
            stamp = re.match(r"\s*(\d+\.\d+) ", line)
            if stamp and regex.search(line):
                return float(stamp.group(1))
        time.sleep(0.002)
    raise SystemExit("timed out waiting for %r; halvex said:\n%s" % (pattern, "\n".join(log[-30:])))


def log_size():
    with log_lock:
        return len(log)


def swaymsg(*args):
    return subprocess.run(["swaymsg", "-s", sock] + list(args), env=client_env, capture_output=True, text=True).stdout


def focused_app():
    def walk(node):
        if node.get("focused"):
            return node.get("app_id")
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            found = walk(child)
            if found is not None:
                return found
        return None
    return walk(json.loads(swaymsg("-t", "get_tree")))


wait_for(r"halvex.app: ready", 0, 30)
# sway runs the binding as the session's user, in the session's environment.
toggle = " ".join(shlex.quote(word) for word in [
    "env", "QT_QPA_PLATFORM=wayland", "XDG_CONFIG_HOME=" + session_env["XDG_CONFIG_HOME"], halvex, "--toggle"])
swaymsg("bindsym Mod4+Shift+v exec " + toggle)
chord = ["wtype", "-M", "logo", "-M", "shift", "v", "-m", "shift", "-m", "logo"]

read, captured, startup_copy = [], [], []
for i in range(rounds):
    mark = log_size()
    t0 = time.monotonic()
    subprocess.run(["wl-copy", "measured text %d" % i], env=client_env, check=True)
    startup_copy.append(time.monotonic() - t0)
    read.append(wait_for(r"clipboard change \d+ holds a text", mark) - t0)
    captured.append(wait_for(r"captured text", mark) - t0)
    # At a random point of a 0.5 s poll cycle, for builds whose history polls.
    time.sleep(random.uniform(0.05, 0.55))

shown, focused, startup_type = [], [], []
for i in range(rounds):
    mark = log_size()
    t0 = time.monotonic()
    subprocess.run(chord, env=client_env, check=True)
    startup_type.append(time.monotonic() - t0)
    deadline = time.monotonic() + 15
    seen = None
    while time.monotonic() < deadline:
        if focused_app() == "halvex":
            seen = time.monotonic()
            break
    shown.append(wait_for(r"panel has the keyboard", mark) - t0)
    focused.append((seen or float("nan")) - t0)
    # Hide it again with the same binding and wait until it is gone.
    mark = log_size()
    subprocess.run(chord, env=client_env, check=True)
    wait_for(r"panel hidden", mark)
    time.sleep(0.1)

swaymsg("unbindsym Mod4+Shift+v")
proc.terminate()
proc.wait(10)


def ms(values):
    return "%7.1f ms (min %.1f, max %.1f)" % (statistics.median(values) * 1000, min(values) * 1000,
                                              max(values) * 1000)


print("rounds: %d" % rounds)
print("copy -> change seen by the history:" + ms(read))
print("copy -> in history:                " + ms(captured))
print("binding -> panel has the keyboard: " + ms(shown))
print("binding -> sway reports it focused:" + ms(focused))
print("wl-copy start-up and return:       " + ms(startup_copy))
print("wtype start-up and return:         " + ms(startup_type))
