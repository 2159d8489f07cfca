#!/usr/bin/env python3
"""tamborel-get against curl and wget: the same 1 GiB file from nginx on
loopback, in one run. Prints wall time and CPU time (user + system, and both apart) of each,
the median of a few rounds, and the ratios against curl and wget.

Usage: bench_http.py --tool PATH [--size-mib N] [--rounds N] [--keep]
"""

import argparse
import hashlib
import os
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def make_source(path, mib):
    # Random blocks, so nothing on the way can shortcut the data.
    block = os.urandom(4 << 20)
    digest = hashlib.sha256()
    with open(path, "wb") as f:
        for _ in range(mib // 4):
            f.write(block)
            digest.update(block)
    return digest.hexdigest()


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        while True:
            chunk = f.read(8 << 20)
            if not chunk:
                return digest.hexdigest()
            digest.update(chunk)


def start_nginx(prefix, root, port):
    nginx = "/usr/sbin/nginx" if os.access("/usr/sbin/nginx", os.X_OK) else "nginx"
    os.makedirs(os.path.join(prefix, "temp"), exist_ok=True)
    conf = os.path.join(prefix, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""daemon off;
master_process off;
worker_processes 1;
pid {prefix}/nginx.pid;
error_log {prefix}/error.log warn;
events {{ worker_connections 64; }}
http {{
  access_log off;
  sendfile on;
  default_type application/octet-stream;
  client_body_temp_path {prefix}/temp/body;
  proxy_temp_path {prefix}/temp/proxy;
  fastcgi_temp_path {prefix}/temp/fastcgi;
  uwsgi_temp_path {prefix}/temp/uwsgi;
  scgi_temp_path {prefix}/temp/scgi;
  server {{
    listen 127.0.0.1:{port};
    root {root};
  }}
}}
""")
    proc = subprocess.Popen([nginx, "-p", prefix, "-e", prefix + "/error.log", "-c", conf],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_port(port):
        proc.kill()
        sys.exit("nginx did not start")
    return proc


def timed(argv):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    user = after.ru_utime - before.ru_utime
    system = after.ru_stime - before.ru_stime
    if result.returncode != 0:
        sys.exit(f"{argv[0]} failed with {result.returncode}")
    return wall, user, system


def median(values):
    v = sorted(values)
    return v[len(v) // 2]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--size-mib", type=int, default=1024)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = ap.parse_args()

    work = tempfile.mkdtemp(prefix="tamborel-bench-http-")
    nginx = None
    try:
        root = os.path.join(work, "www")
        out = os.path.join(work, "out")
        os.makedirs(root)
        os.makedirs(out)
        source = os.path.join(root, "big.bin")
        print(f"making a {args.size_mib} MiB source file ...", flush=True)
        expected = make_source(source, args.size_mib)
        port = free_port()
        nginx = start_nginx(os.path.join(work, "nginx"), root, port)
        url = f"http://127.0.0.1:{port}/big.bin"

        target = os.path.join(out, "big.bin")
        runs = {
            "tamborel-get": [args.tool, "-o", out, "--retries", "0", url],
            "curl": ["curl", "-s", "-f", "-o", target, url],
            "wget": ["wget", "-q", "-O", target, url],
        }
        # One unmeasured round warms the page cache and checks every result.
        for name, argv in runs.items():
            timed(argv)
            if sha256(target) != expected:
                sys.exit(f"{name}: the file differs from the source")
            os.remove(target)

        results = {name: ([], [], [], []) for name in runs}
        for r in range(args.rounds):
            for name, argv in runs.items():
                wall, user, system = timed(argv)
                for i, v in enumerate((wall, user + system, user, system)):
                    results[name][i].append(v)
                os.remove(target)

        print(f"\n{args.size_mib} MiB from nginx on 127.0.0.1, median of {args.rounds} rounds")
        print(f"{'program':14} {'wall s':>8} {'cpu s':>8} {'user s':>8} {'sys s':>8} {'MiB/s':>8}")
        med = {}
        for name, values in results.items():
            w, c, u, s = (median(v) for v in values)
            med[name] = (w, c)
            print(f"{name:14} {w:8.3f} {c:8.3f} {u:8.3f} {s:8.3f} {args.size_mib / w:8.0f}")
        tw, tc = med["tamborel-get"]
        print()
        for peer in ("curl", "wget"):
            pw, pc = med[peer]
            print(f"tamborel-get / {peer:4}: wall {tw / pw:5.2f}x  cpu {tc / pc:5.2f}x")
    finally:
        if nginx:
            nginx.send_signal(signal.SIGTERM)
            nginx.wait(5)
        if args.keep:
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
