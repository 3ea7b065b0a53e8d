#!/usr/bin/env python3
"""Starts the loopback test servers for test programs that run under Wine.

A Windows program under Wine cannot start a Linux program and talk to it, so the test fixtures
ask this helper, which runs beside them on the Linux side:
  <folder>/<id>.pedido   written by the test: the script's name, then one argument a line;
  <folder>/<id>.puerto   written here: the first line the script printed (its port), or an
                         empty file once a script that printed nothing has ended (certificates);
  <folder>/<id>.fin      written by the test: the server is stopped.
Windows paths among the arguments (C:/..., Z:\\...) are turned into the Linux paths Wine maps
them to. Runs until killed; stops every server it started then.
  lanzador.py <folder>
"""
import os
import re
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PREFIX = os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine"))
# Debian's interpreter carries pyftpdlib and aiosmtpd; another python3 first on PATH may not.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def linux_path(arg):
    m = re.match(r"^([A-Za-z]):[/\\](.*)$", arg)
    if not m:
        return arg
    drive = os.path.realpath(os.path.join(PREFIX, "dosdevices", m.group(1).lower() + ":"))
    return os.path.join(drive, m.group(2).replace("\\", "/"))


def write_atomic(path, text):
    with open(path + ".tmp", "w") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def serve(folder, ident, running):
    with open(os.path.join(folder, ident + ".pedido")) as f:
        lines = f.read().splitlines()
    os.remove(os.path.join(folder, ident + ".pedido"))
    script = os.path.join(HERE, os.path.basename(lines[0]))
    proc = subprocess.Popen([PYTHON, script] + [linux_path(a) for a in lines[1:]],
                            stdout=subprocess.PIPE, text=True)
    running[ident] = proc
    first = proc.stdout.readline()
    if not first:
        proc.wait(timeout=120)
        running.pop(ident, None)
    write_atomic(os.path.join(folder, ident + ".puerto"), first.strip())


def main(folder):
    os.makedirs(folder, exist_ok=True)
    running = {}

    def stop(*_):
        for proc in running.values():
            proc.kill()
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    while True:
        for name in os.listdir(folder):
            ident, ext = os.path.splitext(name)
            if ext == ".pedido" and ident not in running:
                running[ident] = None
                threading.Thread(target=serve, args=(folder, ident, running), daemon=True).start()
            elif ext == ".fin":
                proc = running.pop(ident, None)
                if proc:
                    proc.kill()
                for leftover in (".fin", ".puerto"):
                    try:
                        os.remove(os.path.join(folder, ident + leftover))
                    except FileNotFoundError:
                        pass
        time.sleep(0.05)


if __name__ == "__main__":
    main(sys.argv[1])
