"""Plays a 60-second 1280x720 H.264 file at normal speed through the player
movie (with each of its renderers, OpenGL and software) and through mpv, all
under the same Xvfb, and prints each program's CPU seconds and peak memory
and the ratios against mpv."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from bench_common import median  # noqa: E402


def make_media(path, seconds):
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                    "-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25",
                    "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100",
                    "-t", str(seconds), "-c:v", "libx264", "-preset", "veryfast", "-g", "50",
                    "-pix_fmt", "yuv420p", "-c:a", "aac", "-f", "flv", path], check=True)


def start_xvfb():
    for display in range(90, 140):
        if os.path.exists(f"/tmp/.X11-unix/X{display}") or os.path.exists(f"/tmp/.X{display}-lock"):
            continue
        proc = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{display}"):
                return proc, display
            if proc.poll() is not None:
                break
            time.sleep(0.05)
        proc.kill()
        proc.wait()
    sys.exit("no Xvfb display could be started")


def run(argv, env):
    """Runs argv to its end; wall seconds, CPU seconds and peak memory (MiB)."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{argv[0]} failed with {os.waitstatus_to_exitcode(status)}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--player", required=True, help="the flash_bench_player program")
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    if not shutil.which("mpv"):
        sys.exit("mpv is not installed: run bench/flash/setup.sh")

    work = tempfile.mkdtemp(prefix="bench_flash_")
    media = os.path.join(work, "clip.flv")
    make_media(media, args.seconds)
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=f":{display}", QT_QPA_PLATFORM="xcb")
    mpv_common = ["mpv", "--no-config", "--really-quiet", "--ao=null", "--geometry=1280x720+0+0",
                  "--no-osc", "--no-input-default-bindings", media]
    runs = {
        "player (opengl)": [args.player, media, "1280", "720", "opengl"],
        "player (software)": [args.player, media, "1280", "720", "software"],
        "mpv": mpv_common,
        "mpv --vo=x11": mpv_common[:1] + ["--vo=x11"] + mpv_common[1:],
    }
    results = {name: ([], [], []) for name in runs}
    try:
        for _ in range(args.rounds):
            for name, argv in runs.items():
                for i, v in enumerate(run(argv, env)):
                    results[name][i].append(v)
    finally:
        xvfb.terminate()
        xvfb.wait(5)
        if args.keep:
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)

    print(f"{args.seconds} s of 1280x720 H.264/AAC at normal speed under Xvfb, median of {args.rounds}")
    print(f"{'program':18} {'wall s':>8} {'cpu s':>8} {'peak MiB':>9}")
    med = {}
    for name, (wall, cpu, rss) in results.items():
        med[name] = (median(wall), median(cpu), median(rss))
        print(f"{name:18} {med[name][0]:8.2f} {med[name][1]:8.2f} {med[name][2]:9.1f}")
    for player in ("player (opengl)", "player (software)"):
        ours = med[player]
        for ref in ("mpv", "mpv --vo=x11"):
            print(f"{player} / {ref}: cpu {ours[1] / med[ref][1]:.2f}x, "
                  f"peak memory {ours[2] / med[ref][2]:.2f}x")


if __name__ == "__main__":
    main()
