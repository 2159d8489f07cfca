#!/usr/bin/env python3
"""The window against qBittorrent, both started the same way under one Xvfb
with a tray: start until the main window is visible (empty list, and 10,000
tasks for Tamborel), resident memory after start, and the user-interface
thread's cost of the per-second refresh and of the periodic Task.dat save."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
from bench_common import median  # noqa: E402

TASK_VALUES = ["TaskIndex", "DownStatus", "FileName", "TempFile", "URL", "Referer", "UserAgent", "CreateTime",
               "FinishTime", "FileBytes", "DownBytes", "Progress", "Width", "Height", "Duration", "SaveDir",
               "SortIndex", "RTMPHost", "RTMPApp", "RTMPPlayPath", "RTMPTHost", "RTMPTApp", "RTMPTPlayPath"]


def write_task_list(path, count, save_dir):
    parts = ['<?xml version="1.0" encoding="UTF-8"?><Tasks>']
    for i in range(count):
        name = "video_%d.flv" % i
        v = {n: "" for n in TASK_VALUES}
        v.update(TaskIndex=i + 1, DownStatus=(6 if i % 3 == 0 else 4), FileName=name,
                 TempFile="{%d_%s}.TMP!" % (i, name), URL="http://videos.example/media/" + name,
                 CreateTime="2026-12-01 10:00:00", FileBytes=50 << 20, DownBytes=20 << 20, Progress="40.00",
                 Width=0, Height=0, SaveDir=save_dir, SortIndex=i + 1)
        parts.append("<Task-%d>%s</Task-%d>" % (i, "".join("<%s>%s</%s>" % (n, v[n], n) for n in TASK_VALUES), i))
    parts.append("</Tasks>")
    with open(path, "w") as f:
        f.write("".join(parts))


def free_display():
    for n in range(200, 300):
        if not os.path.exists("/tmp/.X%d-lock" % n) and not os.path.exists("/tmp/.X11-unix/X%d" % n):
            return ":%d" % n
    sys.exit("no free display number")


def visible_windows(env, pattern):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern], env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return out.split()


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def sandbox_env(display, root):
    env = dict(os.environ)
    for sub in ("home", "config", "data", "run"):
        os.makedirs(os.path.join(root, sub), mode=0o700, exist_ok=True)
    env.update(DISPLAY=display, HOME=os.path.join(root, "home"), XDG_CONFIG_HOME=os.path.join(root, "config"),
               XDG_DATA_HOME=os.path.join(root, "data"), XDG_RUNTIME_DIR=os.path.join(root, "run"),
               QT_QPA_PLATFORM="xcb")
    env.pop("WAYLAND_DISPLAY", None)
    return env


def start_once(argv, env, pattern, settle):
    """Seconds until a matching window is visible, and the resident KiB after `settle` seconds."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while not visible_windows(env, pattern):
            if proc.poll() is not None:
                sys.exit("%s ended before showing its window" % argv[0])
            if time.perf_counter() - start > 60:
                sys.exit("%s showed no window" % argv[0])
            time.sleep(0.005)
        seconds = time.perf_counter() - start
        time.sleep(settle)
        return seconds, rss_kib(proc.pid)
    finally:
        proc.terminate()
        try:
            proc.wait(15)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def qbittorrent_config(root):
    conf_dir = os.path.join(root, "config", "qBittorrent")
    os.makedirs(conf_dir, exist_ok=True)
    # No traffic beyond loopback: no DHT, peer exchange, local discovery or UPnP, bound to lo.
    with open(os.path.join(conf_dir, "qBittorrent.conf"), "w") as f:
        f.write("[LegalNotice]\nAccepted=true\n\n"
                "[BitTorrent]\nSession\\DHTEnabled=false\nSession\\LSDEnabled=false\nSession\\PeXEnabled=false\n"
                "Session\\Interface=lo\nSession\\InterfaceName=lo\nSession\\AnonymousModeEnabled=true\n\n"
                "[Preferences]\nConnection\\UPnP=false\nGeneral\\StartMinimized=false\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", required=True)
    ap.add_argument("--ui-bench", required=True)
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    for tool in ("Xvfb", "trayer", "xdotool"):
        if not shutil.which(tool):
            sys.exit("%s is missing: bash scripts/setup.sh" % tool)
    qbt = shutil.which("qbittorrent")
    if not qbt:
        sys.exit("qbittorrent is missing: bash bench/window/setup.sh")

    work = tempfile.mkdtemp(prefix="bench_window_")
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1920x1200x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    tray = None
    try:
        time.sleep(1)
        tray = subprocess.Popen(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                                 "--width", "120", "--height", "28"], env=dict(os.environ, DISPLAY=display),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        results = {}

        def run(label, argv, root, pattern, prepare=None):
            starts, rss = [], []
            for i in range(args.runs):
                run_root = os.path.join(work, "%s-%d" % (label, i))
                env = sandbox_env(display, run_root)
                if prepare:
                    prepare(run_root)
                s, r = start_once(argv, env, pattern, 1.5)
                starts.append(s)
                rss.append(r)
            results[label] = (median(starts), median(rss))

        def with_tasks(run_root):
            folder = os.path.join(run_root, "data", "Quorlin", "Tamborel")
            os.makedirs(folder, exist_ok=True)
            write_task_list(os.path.join(folder, "Task.dat"), 10000, os.path.join(run_root, "home", "Documents") + "/")

        run("qbittorrent", [qbt], work, "^qBittorrent", qbittorrent_config)
        run("tamborel_empty", [args.program], work, "^Tamborel$")
        run("tamborel_10000", [args.program], work, "^Tamborel$", with_tasks)

        ui = subprocess.run([args.ui_bench, work + "/"], stdout=subprocess.PIPE, text=True, check=True).stdout
        ui_figures = dict(line.split() for line in ui.strip().splitlines())

        q_start, q_rss = results["qbittorrent"]
        print("%-34s %12s %12s" % ("", "start (ms)", "RSS (MiB)"))
        for label in ("qbittorrent", "tamborel_empty", "tamborel_10000"):
            s, r = results[label]
            print("%-34s %12.1f %12.1f" % (label, s * 1000, r / 1024))
        e_start, e_rss = results["tamborel_empty"]
        t_start, t_rss = results["tamborel_10000"]
        print("start ratio tamborel/qbittorrent: empty %.2f, 10,000 tasks %.2f" % (e_start / q_start, t_start / q_start))
        print("memory ratio tamborel/qbittorrent: empty %.2f, 10,000 tasks %.2f" % (e_rss / q_rss, t_rss / q_rss))
        print("per-second refresh, 100 running rows: %s ms (aim < 2), then %s ms repainting the changed rows"
              % (ui_figures["refresh_100_running_ms"], ui_figures["repaint_after_refresh_ms"]))
        print("start with 10,000 tasks, in-process: %s ms reading Task.dat, %s ms filling and showing the list"
              % (ui_figures["start_load_10000_ms"], ui_figures["start_fill_show_10000_ms"]))
        print("periodic save, 10,000 tasks: %s ms on the UI thread (aim < 50), %s ms on the writer thread"
              % (ui_figures["save_ui_thread_10000_ms"], ui_figures["save_writer_thread_10000_ms"]))
    finally:
        if tray:
            tray.terminate()
            tray.wait()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
