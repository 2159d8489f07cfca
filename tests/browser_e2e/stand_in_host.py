#!/usr/bin/env python3
"""A native messaging host for the extension's end-to-end tests, for builds
without tamborel-browser-host: it hands each capture to tamborel-capture and
writes the same log lines as the real host.

Usage (from the host manifest's wrapper): stand_in_host.py TAMBOREL_CAPTURE [browser arguments...]
"""
import json
import os
import struct
import subprocess
import sys

# The file type of an address without an extension, by its Content-Type.
PATTERNS = {"video/mp4": "*.mp4", "video/x-flv": "*.flv", "audio/mpeg": "*.mp3",
            "application/x-shockwave-flash": "*.swf"}
REASONS = [("no running Tamborel", "no-program"), ("monitoring is off", "monitoring-off"),
           ("browser", "browser-not-monitored"), ("type", "type-not-monitored")]


def log(line):
    path = os.environ.get("TAMBOREL_BROWSER_HOST_LOG")
    if path:
        with open(path, "a") as f:
            f.write(line + "\n")


def capture(tool, browser, msg):
    url = msg.get("url", "")
    argv = [tool, "--browser", browser]
    for flag, key in (("--referer", "referer"), ("--user-agent", "userAgent"), ("--cookie", "cookie")):
        if msg.get(key):
            argv += [flag, msg[key]]
    last = url.split("?")[0].split("#")[0].rsplit("/", 1)[-1]
    media_type = msg.get("contentType", "").split(";")[0].strip().lower()
    if "." not in last and media_type in PATTERNS:
        argv += ["--pattern", PATTERNS[media_type]]
    run = subprocess.run(argv + [url], capture_output=True, text=True)
    result = "sent" if run.returncode == 0 else "refused"
    for text, name in REASONS:
        if run.returncode == 2 and text in run.stdout + run.stderr:
            result = name
            break
    log("capture %s %s" % (result, url))


def main():
    tool = sys.argv[1]
    browser = os.path.basename(os.readlink("/proc/%d/exe" % os.getppid()))
    while True:
        head = sys.stdin.buffer.read(4)
        if len(head) < 4:
            return
        (size,) = struct.unpack("=I", head)
        msg = json.loads(sys.stdin.buffer.read(size))
        if msg.get("type") == "hello":
            log("hello " + browser)
        elif msg.get("type") == "capture":
            capture(tool, browser, msg)


main()
