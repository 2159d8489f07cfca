#!/usr/bin/env python3
"""tamborel-get against ffmpeg recording the same RTMP stream from nginx's RTMP
module on loopback, in one run: a 10-minute H.264 + AAC file, played with ten
hours of buffer so the server sends as fast as it can. Prints wall time and CPU
time (user + system) of each, the median of a few rounds, and the ratios.

Usage: bench_rtmp.py --tool PATH [--minutes N] [--rounds N] [--keep]
"""

import argparse
import os
import subprocess
import sys
import tempfile

# bench_common.py sits one folder up, beside every benchmark's own folder.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from bench_common import finish, free_port, measure, print_medians, start_nginx, timed  # noqa: E402

RTMP_MODULE = "/usr/lib/nginx/modules/ngx_rtmp_module.so"


def make_source(path, minutes):
    seconds = str(minutes * 60)
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                    "-f", "lavfi", "-i", "testsrc=size=640x360:rate=25",
                    "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100",
                    "-t", seconds, "-c:v", "libx264", "-preset", "veryfast", "-g", "50",
                    "-c:a", "aac", "-b:a", "128k", "-flvflags", "add_keyframe_index",
                    "-f", "flv", path], check=True)


def packets(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_packets", "-show_entries",
                          "stream=codec_type,nb_read_packets", "-of", "csv=p=0", path],
                         stdout=subprocess.PIPE, text=True, check=True).stdout
    return sorted(line.strip() for line in out.splitlines() if line.strip())


def nginx_conf(prefix, media, port):
    return f"""load_module {RTMP_MODULE};
daemon off;
master_process off;
worker_processes 1;
pid {prefix}/nginx.pid;
error_log {prefix}/error.log warn;
events {{ worker_connections 64; }}
rtmp {{
  server {{
    listen 127.0.0.1:{port};
    application vod {{ play {media}; }}
  }}
}}
"""


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--minutes", type=int, default=10)
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = ap.parse_args()

    work = tempfile.mkdtemp(prefix="tamborel-bench-rtmp-")
    nginx = None
    try:
        media = os.path.join(work, "media")
        out = os.path.join(work, "out")
        os.makedirs(media)
        os.makedirs(out)
        source = os.path.join(media, "clip.flv")
        print(f"making a {args.minutes}-minute source file ...", flush=True)
        make_source(source, args.minutes)
        size_mib = os.path.getsize(source) / (1 << 20)
        expected = packets(source)
        port = free_port()
        prefix = os.path.join(work, "nginx")
        os.makedirs(prefix, exist_ok=True)
        nginx = start_nginx(prefix, nginx_conf(prefix, media, port), port)
        url = f"rtmp://127.0.0.1:{port}/vod/clip.flv"

        target = os.path.join(out, "clip.flv")
        runs = {
            "tamborel-get": [args.tool, "-o", out, "--retries", "0", url],
            "ffmpeg": ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-rtmp_buffer",
                       "36000000", "-i", url, "-c", "copy", "-f", "flv", target],
        }
        # One unmeasured round warms the page cache and checks every result.
        for name, argv in runs.items():
            timed(argv)
            got = packets(target)
            if got != expected:
                # Our recording must be whole; the peer is only reported.
                if name == "tamborel-get":
                    sys.exit(f"{name}: packets {got}, the source has {expected}")
                print(f"note: {name} recorded packets {got}, the source has {expected}")
            os.remove(target)

        results = measure(runs, args.rounds, target)

        print(f"\n{args.minutes} minutes ({size_mib:.1f} MiB) over RTMP from nginx on 127.0.0.1, "
              f"median of {args.rounds} rounds")
        med = print_medians(results, size_mib, "8.1f")
        tw, tc = med["tamborel-get"]
        fw, fc = med["ffmpeg"]
        print(f"\ntamborel-get / ffmpeg: wall {tw / fw:5.2f}x  cpu {tc / fc:5.2f}x")
    finally:
        finish(nginx, work, args.keep)


if __name__ == "__main__":
    main()
