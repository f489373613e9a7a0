#!/usr/bin/env python3
"""Measures Halvex's memory and CPU under a real X server (run by hand, not a test).

    scripts/xvfb-session bench/measure_footprint.py [build dir] [options]

    --halvex PATH    the halvex binary (default: <build>/src/app/halvex)
    --images N       screenshot-like 1920x1080 PNGs to copy (default 100)
    --flood SECONDS  also flood the clipboard at 1000 changes/s for this long
    --skip-text      skip the 10 MB text

Each phase starts a fresh halvex, waits until it is idle and reads its
resident memory (VmRSS) and CPU time (utime + stime) from /proc:
  * idle: CPU used over 30 s with nothing happening;
  * images: N different screenshot-like PNGs (about 1 MB each) copied with
    xclip, each waited for until halvex logged its capture; memory added
    after 20 and after N, the whole process after N, and the CPU used for
    the first 20 (recognition included), each read once halvex is idle again;
  * text: one 10 MB text copied with xclip: memory added;
  * flood: clipboard_flood_helper (from <build>/tests/clipboard) changes
    the clipboard 1000 times a second; CPU share, memory before and after, changes recorded,
    and the time from the hotkey to the panel having the keyboard, taken
    from halvex's own log lines, a few times during the flood.
The screenshots are made once with ImageMagick and kept in
/tmp/halvex-measure-shots.
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

import waiting

parser = argparse.ArgumentParser()
parser.add_argument("build", nargs="?", default="build")
parser.add_argument("--halvex")
parser.add_argument("--images", type=int, default=100)
parser.add_argument("--flood", type=float, default=0)
parser.add_argument("--skip-text", action="store_true")
options = parser.parse_args()
build = os.path.abspath(options.build)
halvex_path = os.path.abspath(options.halvex or os.path.join(build, "src/app/halvex"))
shots_dir = "/tmp/halvex-measure-shots"
ticks = os.sysconf("SC_CLK_TCK")


def wait_for(predicate, timeout, what):
    value = waiting.wait_for(predicate, timeout, step=0.01)
    if not value:
        raise RuntimeError("timed out waiting for " + what)
    return value


def screenshot(index):
    """A 1920x1080 PNG of about 1 MB: a gradient, a photo-like patch, text."""
    path = os.path.join(shots_dir, "shot-%03d.png" % index)
    if os.path.exists(path):
        return path
    os.makedirs(shots_dir, exist_ok=True)
    args = ["convert", "-size", "1920x1080", "gradient:#2b5876-#4e4376",
            "(", "-size", "520x290", "-seed", str(index + 1), "plasma:fractal", "-blur", "0x2", ")",
            "-geometry", "+1240+80", "-composite",
            "-fill", "white", "-font", "DejaVu-Sans", "-pointsize", "24",
            "-annotate", "+80+120", "Quarterly report %d for the meeting on Tuesday" % index,
            "-annotate", "+80+170", "Budget review and garden plans, item %d" % index,
            "-fill", "#f4f4f4", "-draw", "rectangle 60,460 1860,1040",
            "-fill", "#202020", "-font", "DejaVu-Sans-Mono", "-pointsize", "16"]
    for line in range(22):
        args += ["-annotate", "+80+%d" % (490 + line * 24),
                 "09:%02d:%02d worker %d served request %d in %d ms"
                 % (index % 60, line, line % 4, index * 100 + line, (index * 7 + line * 13) % 400)]
    subprocess.run(args + [path], check=True)
    return path


class Halvex:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="halvex-footprint-")
        self.log_path = os.path.join(self.dir, "halvex.log")
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
                   QT_LOGGING_RULES="halvex.clipboard.debug=true;halvex.app.debug=true",
                   QT_MESSAGE_PATTERN="%{time boot} %{category} %{message}")
        self.process = subprocess.Popen([halvex_path], env=env, stdout=open(self.log_path, "w"),
                                        stderr=subprocess.STDOUT)
        wait_for(lambda: self.count(r"halvex\.app ready"), 60, "halvex to start")
        self.wait_idle()

    def log(self):
        with open(self.log_path, errors="replace") as log:
            return log.read()

    def count(self, pattern):
        return len(re.findall(pattern, self.log()))

    def times(self, pattern):
        return [float(m.group(1)) for m in re.finditer(r"^\s*([\d.]+) " + pattern, self.log(), re.M)]

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))

    def cpu_ms(self):
        with open("/proc/%d/stat" % self.process.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000 / ticks

    def wait_idle(self, quiet_seconds=3.0, timeout=900):
        """Until the process used under 1 % of a core for quiet_seconds."""
        deadline = time.monotonic() + timeout
        start, used = time.monotonic(), self.cpu_ms()
        while time.monotonic() < deadline:
            time.sleep(0.5)
            if self.cpu_ms() - used > quiet_seconds * 10:
                start, used = time.monotonic(), self.cpu_ms()
            elif time.monotonic() - start >= quiet_seconds:
                return
        raise RuntimeError("halvex never became idle")

    def stop(self):
        self.process.kill()
        self.process.wait()


def copy(data_or_path, mime):
    args = ["xclip", "-selection", "clipboard", "-t", mime]
    if isinstance(data_or_path, bytes):
        subprocess.run(args, input=data_or_path, check=True)
    else:
        subprocess.run(args + ["-i", data_or_path], check=True)


def mib(kib):
    return "%.1f MB" % (kib * 1024 / 1e6)


results = []


def report(name, value):
    results.append((name, value))
    print("%-52s %s" % (name, value), flush=True)


def measure_idle_and_images():
    shots = [screenshot(i) for i in range(options.images)]
    halvex = Halvex()
    cpu = halvex.cpu_ms()
    time.sleep(30)
    report("idle CPU over 30 s", "%.0f ms" % (halvex.cpu_ms() - cpu))

    rss0, cpu0 = halvex.rss_kib(), halvex.cpu_ms()
    report("resident memory at start", mib(rss0))
    for i, shot in enumerate(shots, 1):
        copy(shot, "image/png")
        wait_for(lambda: halvex.count(r"captured image") >= i, 60, "capture %d" % i)
        if i == 1 or i == 20 or i == len(shots):
            halvex.wait_idle()
            report("memory added by %d screenshot%s" % (i, "s" if i > 1 else ""), mib(halvex.rss_kib() - rss0))
            if i == 20:
                report("CPU for 20 screenshots (recognition included)", "%.1f s" % ((halvex.cpu_ms() - cpu0) / 1000))
    report("whole process after %d screenshots" % len(shots), mib(halvex.rss_kib()))
    # Recognition threads end after 30 s without work, and with them their engines.
    time.sleep(35)
    report("the same 35 s later", mib(halvex.rss_kib()))
    halvex.stop()


def measure_text():
    halvex = Halvex()
    line = b"2024-05-01 12:00:00 INFO request served in 12 ms by worker 3\n"
    text = (line * (10_000_000 // len(line) + 1))[:10_000_000]
    rss0 = halvex.rss_kib()
    copy(text, "UTF8_STRING")
    wait_for(lambda: halvex.count(r"captured text"), 60, "the text's capture")
    halvex.wait_idle()
    report("memory added by one 10 MB text", mib(halvex.rss_kib() - rss0))
    halvex.stop()


def measure_flood(seconds):
    flood_tool = os.path.join(build, "tests/clipboard/clipboard_flood_helper")
    halvex = Halvex()
    rss0, cpu0, t0 = halvex.rss_kib(), halvex.cpu_ms(), time.monotonic()
    flood = subprocess.Popen([flood_tool, str(seconds), "1000"], stdout=subprocess.PIPE, text=True)
    opens = []
    rounds = max(1, int(seconds // 10))
    for _ in range(rounds):
        time.sleep(seconds / (rounds + 1))
        before = len(halvex.times(r"halvex\.app panel has the keyboard"))
        subprocess.run(["xdotool", "key", "super+shift+v"])
        focused = wait_for(lambda: halvex.times(r"halvex\.app panel has the keyboard")[before:], 30, "the panel")
        opens.append((focused[0] - halvex.times(r"halvex\.app toggle")[-1]) * 1000)
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "Escape"])
    output = flood.communicate()[0]
    elapsed = time.monotonic() - t0
    report("flood: changes made", output.split()[-1])
    report("flood: CPU share of one core", "%.0f %%" % ((halvex.cpu_ms() - cpu0) / 10 / elapsed))
    report("flood: changes recorded", str(halvex.count(r"captured text")))
    report("flood: hotkey -> panel has the keyboard",
           "median %.0f ms (min %.0f, max %.0f, n=%d)" % (statistics.median(opens), min(opens), max(opens), len(opens)))
    report("flood: memory before / after", "%s / %s" % (mib(rss0), mib(halvex.rss_kib())))
    halvex.stop()


print("halvex:", halvex_path, flush=True)
if options.images:
    measure_idle_and_images()
if not options.skip_text:
    measure_text()
if options.flood:
    measure_flood(options.flood)
