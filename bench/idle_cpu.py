#!/usr/bin/env python3
"""CPU used by Gabblet while a character idles on the screen.

Starts Gabblet with a greeting, lets the character finish speaking, then
reads the process's CPU time over a period in which the character rests and
plays its occasional idle animations.

usage: bench/idle_cpu.py BUILD_DIR [seconds]   (run under xvfb-run)
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

from procstat import cpu_seconds


def main():
    build = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30
    home = tempfile.mkdtemp()
    with open(os.path.join(home, "gabblet.ini"), "w") as f:
        f.write("version=0.34\r\nport=0\r\n")
    open(os.path.join(home, "rec.txt"), "w").close()
    env = dict(os.environ, GABBLET_HOME=home, GABBLET_NONINTERACTIVE="1")
    proc = subprocess.Popen([os.path.join(build, "src/app/gabblet"), "--greet=Hello, I will just stand here."],
                            stderr=subprocess.DEVNULL, env=env)
    time.sleep(8)  # start-up, the greeting and its balloon
    before = cpu_seconds(proc.pid)
    time.sleep(seconds)
    used = cpu_seconds(proc.pid) - before
    proc.send_signal(signal.SIGTERM)
    proc.wait()
    print(f"CPU while idling on screen: {used * 1000:.0f} ms over {seconds:.0f} s "
          f"= {used / seconds * 100:.2f} % of one core")


if __name__ == "__main__":
    main()
