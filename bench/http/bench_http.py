#!/usr/bin/env python3
"""tamborel-get against curl and wget: the same 1 GiB file from nginx on
loopback, in one run. Prints wall time and CPU time (user + system, and both apart) of each,
the median of a few rounds, and the ratios against curl and wget. With --https
nginx serves it over TLS with a certificate from an authority made for the run,
which every tool is told to trust.

Usage: bench_http.py --tool PATH [--size-mib N] [--rounds N] [--https] [--keep]
"""

import argparse
import hashlib
import os
import subprocess
import sys
import tempfile

# bench_common.py sits one folder up, beside every benchmark's own folder.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from bench_common import finish, free_port, measure, print_medians, start_nginx, timed  # noqa: E402


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


def make_certificates(folder):
    """A test authority and a server certificate for 127.0.0.1: (ca, cert, key)."""
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
            "-days", "2", "-subj", "/CN=BenchCA")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=127.0.0.1")
    with open(os.path.join(folder, "san.cnf"), "w") as f:
        f.write("subjectAltName = IP:127.0.0.1\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "server.pem", "-days", "2", "-extfile", "san.cnf")
    return tuple(os.path.join(folder, n) for n in ("ca.pem", "server.pem", "server.key"))


def nginx_conf(prefix, root, port, tls=None):
    listen = f"127.0.0.1:{port} ssl" if tls else f"127.0.0.1:{port}"
    certificates = (f"ssl_certificate {tls[0]};\n    ssl_certificate_key {tls[1]};" if tls else "")
    return f"""daemon off;
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
    listen {listen};
    root {root};
    {certificates}
  }}
}}
"""


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--size-mib", type=int, default=1024)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--https", action="store_true", help="serve over TLS")
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
        prefix = os.path.join(work, "nginx")
        os.makedirs(os.path.join(prefix, "temp"), exist_ok=True)
        tls = None
        if args.https:
            ca, cert, key = make_certificates(prefix)
            tls = (cert, key)
            os.environ["SSL_CERT_FILE"] = ca  # for tamborel-get, through OpenSSL's default paths
        nginx = start_nginx(prefix, nginx_conf(prefix, root, port, tls), port)
        scheme = "https" if args.https else "http"
        url = f"{scheme}://127.0.0.1:{port}/big.bin"

        target = os.path.join(out, "big.bin")
        runs = {
            "tamborel-get": [args.tool, "-o", out, "--retries", "0", url],
            "curl": ["curl", "-s", "-f", "-o", target, url] + (["--cacert", ca] if args.https else []),
            "wget": ["wget", "-q", "-O", target, url] + ([f"--ca-certificate={ca}"] if args.https else []),
        }
        # One unmeasured round warms the page cache and checks every result.
        for name, argv in runs.items():
            timed(argv)
            if sha256(target) != expected:
                sys.exit(f"{name}: the file differs from the source")
            os.remove(target)

        results = measure(runs, args.rounds, target)

        print(f"\n{args.size_mib} MiB from nginx on 127.0.0.1 over {scheme}, median of {args.rounds} rounds")
        med = print_medians(results, args.size_mib, "8.0f")
        tw, tc = med["tamborel-get"]
        print()
        for peer in ("curl", "wget"):
            pw, pc = med[peer]
            print(f"tamborel-get / {peer:4}: wall {tw / pw:5.2f}x  cpu {tc / pc:5.2f}x")
    finally:
        finish(nginx, work, args.keep)


if __name__ == "__main__":
    main()
