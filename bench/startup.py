#!/usr/bin/env python3
"""Start-up time of Gabblet against a bare Qt window, in the same run.

Measures the time from process start to the end of start-up (the splash
status "Done", announced as "gabblet: ready" on standard error) and, as the
baseline, to a bare Qt window being shown. Then leaves one Gabblet idle and
reads how much CPU it uses.

usage: bench/startup.py BUILD_DIR [runs]
Run it under xvfb-run (or with QT_QPA_PLATFORM=offscreen).
"""
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from procstat import cpu_seconds


def time_to_ready(cmd, marker, env):
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stderr=subprocess.PIPE, env=env)
    for line in proc.stderr:
        if line.rstrip().endswith(marker):
            elapsed = time.monotonic() - start
            break
    else:
        raise RuntimeError(f"{cmd[0]} ended without {marker!r}")
    return elapsed, proc


def main():
    build = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    gabblet = os.path.join(build, "src/app/gabblet")
    bare = os.path.join(build, "bench/bench_bare_window")
    home = tempfile.mkdtemp()
    env = dict(os.environ, GABBLET_HOME=home, GABBLET_NONINTERACTIVE="1")
    with open(os.path.join(home, "gabblet.ini"), "w") as f:
        f.write("version=0.34\r\nport=0\r\n")
    # An everyday start: not the first run, so no welcome is spoken.
    open(os.path.join(home, "rec.txt"), "w").close()

    bare_times, gabblet_times = [], []
    for _ in range(runs):
        t, p = time_to_ready([bare], b"ready", env)
        p.wait()
        bare_times.append(t)
        t, p = time_to_ready([gabblet], b"gabblet: ready", env)
        p.send_signal(signal.SIGTERM)
        p.wait()
        gabblet_times.append(t)

    b = statistics.median(bare_times) * 1000
    g = statistics.median(gabblet_times) * 1000
    print(f"bare Qt window   median {b:7.1f} ms  (min {min(bare_times)*1000:.1f})")
    print(f"gabblet to Done  median {g:7.1f} ms  (min {min(gabblet_times)*1000:.1f})")
    print(f"ratio            {g / b:.2f}")

    _, p = time_to_ready([gabblet], b"gabblet: ready", env)
    time.sleep(2)  # let the splash close
    before = cpu_seconds(p.pid)
    time.sleep(10)
    used = cpu_seconds(p.pid) - before
    p.send_signal(signal.SIGTERM)
    p.wait()
    print(f"idle CPU over 10 s: {used * 1000:.0f} ms ({used / 10 * 100:.2f} % of one core)")


if __name__ == "__main__":
    main()
