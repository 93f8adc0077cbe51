#!/usr/bin/env python3
"""Peer messaging on loopback: round trips and floods.

1. Round-trip time of a presence check "C" against a running Gabblet,
   against a minimal UDP echo server, in the same run (median of many).
2. Floods of 10,000 messages sent back to back to a Gabblet whose Disable box
   is set, several in a row against the same running program (its received
   history grows with every flood): for each, how long until every message
   was answered and how many were lost, with the kernel's count of datagrams
   it dropped for a full receive buffer (RcvbufErrors in /proc/net/snmp).

usage: bench/peer_roundtrip.py BUILD_DIR [--floods N] [--no-rtt]
       (QT_QPA_PLATFORM=offscreen is fine; N defaults to 10)
"""
import argparse
import os
import socket
import statistics
import subprocess
import tempfile
import threading
import time

PORT = 27400
GABBLET_ADDR = "127.0.0.3"
ECHO_ADDR = "127.0.0.6"
CLIENT_ADDR = "127.0.0.2"
FLOOD = 10000


def echo_server(stop):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((ECHO_ADDR, PORT + 1))
    s.settimeout(0.2)
    while not stop.is_set():
        try:
            data, addr = s.recvfrom(2048)
            s.sendto(data, addr)
        except socket.timeout:
            pass


def rtt(target, payload, runs=2000):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((CLIENT_ADDR, 0))
    s.settimeout(2)
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        s.sendto(payload, (target, PORT + 1))
        s.recvfrom(2048)
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1e6


def rcvbuf_errors():
    """The kernel's count of UDP datagrams dropped for a full receive buffer."""
    with open("/proc/net/snmp") as f:
        rows = [line.split() for line in f if line.startswith("Udp:")]
    header, values = rows[0], rows[1]
    return int(values[header.index("RcvbufErrors")])


def rmem_max():
    try:
        with open("/proc/sys/net/core/rmem_max") as f:
            return int(f.read())
    except OSError:
        return None


def flood(number, count=FLOOD):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
    s.bind((CLIENT_ADDR, 0))
    s.setblocking(False)
    answered = 0
    drops_before = rcvbuf_errors()
    start = time.perf_counter()
    for i in range(count):
        s.sendto(b"::flood %d message %d" % (number, i), (GABBLET_ADDR, PORT + 1))
        try:
            while True:
                s.recvfrom(64)
                answered += 1
        except BlockingIOError:
            pass
    s.setblocking(True)
    s.settimeout(5)
    try:
        while answered < count:
            s.recvfrom(64)
            answered += 1
    except socket.timeout:
        pass
    seconds = time.perf_counter() - start
    s.close()
    return seconds, answered, rcvbuf_errors() - drops_before


def drain(stream, lines):
    # Read the program's standard error to its end: a pipe nobody empties
    # fills up and stops the program in the middle of a write.
    for line in stream:
        lines.append(line)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--floods", type=int, default=10)
    parser.add_argument("--no-rtt", action="store_true")
    args = parser.parse_args()

    home = tempfile.mkdtemp()
    with open(os.path.join(home, "gabblet.ini"), "w") as f:
        f.write(f"version=0.34\r\nport={PORT}\r\nbindaddress={GABBLET_ADDR}\r\nnoaction=1\r\n")
    open(os.path.join(home, "rec.txt"), "w").close()
    env = dict(os.environ, GABBLET_HOME=home, GABBLET_NONINTERACTIVE="1", GABBLET_FAST_SPEECH="1",
               QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    proc = subprocess.Popen([os.path.join(args.build, "src/app/gabblet")], env=env,
                            stdin=subprocess.PIPE, stderr=subprocess.PIPE)
    for line in proc.stderr:
        if b"gabblet: ready" in line:
            break
    err_lines = []
    reader = threading.Thread(target=drain, args=(proc.stderr, err_lines), daemon=True)
    reader.start()

    if not args.no_rtt:
        stop = threading.Event()
        t = threading.Thread(target=echo_server, args=(stop,))
        t.start()
        time.sleep(0.2)
        echo = rtt(ECHO_ADDR, b"C")
        check = rtt(GABBLET_ADDR, b"C")
        stop.set()
        t.join()
        print(f"presence check round trip: gabblet {check:.1f} us, UDP echo {echo:.1f} us, "
              f"ratio {check / echo:.2f}")

    print(f"net.core.rmem_max = {rmem_max()}")
    results = []
    for n in range(1, args.floods + 1):
        seconds, answered, drops = flood(n)
        results.append((seconds, answered, drops))
        print(f"flood {n}: {answered} of {FLOOD} answered in {seconds * 1000:.0f} ms, "
              f"{FLOOD - answered} lost, kernel receive-buffer drops {drops}", flush=True)
    if results:
        lost = [FLOOD - a for _, a, _ in results]
        times = [s * 1000 for s, _, _ in results]
        worst = max(range(len(results)), key=lambda i: (lost[i], times[i]))
        print(f"{len(results)} floods: worst flood {worst + 1}: {results[worst][1]} answered in "
              f"{times[worst]:.0f} ms; median {statistics.median(times):.0f} ms, "
              f"median lost {statistics.median(lost):g}; total lost {sum(lost)}")

    proc.stdin.write(b"quit\n")
    proc.stdin.flush()
    proc.wait(timeout=60)
    reader.join(timeout=10)
    print(f"program ended with {proc.returncode}; {len(err_lines)} lines on standard error "
          "after start-up")


if __name__ == "__main__":
    main()
