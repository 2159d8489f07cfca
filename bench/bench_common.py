"""What the benchmarks share: ports on loopback, nginx in the foreground, timing
child programs, and the table of medians."""

import os
import resource
import shutil
import signal
import socket
import subprocess
import sys
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


def start_nginx(prefix, conf_text, port):
    """Writes prefix/nginx.conf and runs nginx on it until `port` answers."""
    nginx = "/usr/sbin/nginx" if os.access("/usr/sbin/nginx", os.X_OK) else "nginx"
    conf = os.path.join(prefix, "nginx.conf")
    with open(conf, "w") as f:
        f.write(conf_text)
    proc = subprocess.Popen([nginx, "-p", prefix + "/", "-e", prefix + "/error.log", "-c", conf],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_port(port):
        proc.kill()
        sys.exit("nginx did not start")
    return proc


def timed(argv):
    """Runs argv to its end; returns its wall, user and system seconds."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if result.returncode != 0:
        sys.exit(f"{argv[0]} failed with {result.returncode}")
    return wall, after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime


def median(values):
    v = sorted(values)
    return v[len(v) // 2]


def measure(runs, rounds, target):
    """`rounds` rounds of every program in `runs` (name: argv), each removing
    `target` after it. Per program: wall, cpu, user and system seconds of each
    round."""
    results = {name: ([], [], [], []) for name in runs}
    for _ in range(rounds):
        for name, argv in runs.items():
            wall, user, system = timed(argv)
            for i, v in enumerate((wall, user + system, user, system)):
                results[name][i].append(v)
            os.remove(target)
    return results


def print_medians(results, size_mib, rate_format):
    """The table of medians, MiB/s written with `rate_format`; returns each
    program's median wall and cpu seconds."""
    print(f"{'program':14} {'wall s':>8} {'cpu s':>8} {'user s':>8} {'sys s':>8} {'MiB/s':>8}")
    med = {}
    for name, values in results.items():
        w, c, u, s = (median(v) for v in values)
        med[name] = (w, c)
        print(f"{name:14} {w:8.3f} {c:8.3f} {u:8.3f} {s:8.3f} {size_mib / w:{rate_format}}")
    return med


def finish(nginx, work, keep):
    """Stops nginx, when started, and removes the work folder unless kept."""
    if nginx:
        nginx.send_signal(signal.SIGTERM)
        nginx.wait(5)
    if keep:
        print("kept", work)
    else:
        shutil.rmtree(work, ignore_errors=True)
