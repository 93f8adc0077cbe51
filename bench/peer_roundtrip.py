#!/usr/bin/env python3
"""Peer messaging on loopback: round trips and a flood.

1. Round-trip time of a presence check "C" against a running Gabblet,
   against a minimal UDP echo server, in the same run (median of many).
2. 10,000 messages sent back to back to a Gabblet whose Disable box is set:
   how long until every one is answered, and whether any was lost.

usage: bench/peer_roundtrip.py BUILD_DIR   (QT_QPA_PLATFORM=offscreen is fine)
"""
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

PORT = 27400
GABBLET_ADDR = "127.0.0.3"
ECHO_ADDR = "127.0.0.6"
CLIENT_ADDR = "127.0.0.2"


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


def flood(count=10000):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
    s.bind((CLIENT_ADDR, 0))
    s.setblocking(False)
    answered = 0
    start = time.perf_counter()
    for i in range(count):
        s.sendto(b"::flood message %d" % i, (GABBLET_ADDR, PORT + 1))
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
    return time.perf_counter() - start, answered


def main():
    build = sys.argv[1]
    home = tempfile.mkdtemp()
    with open(os.path.join(home, "gabblet.ini"), "w") as f:
        f.write(f"version=0.34\r\nport={PORT}\r\nbindaddress={GABBLET_ADDR}\r\nnoaction=1\r\n")
    open(os.path.join(home, "rec.txt"), "w").close()
    env = dict(os.environ, GABBLET_HOME=home, GABBLET_NONINTERACTIVE="1", GABBLET_FAST_SPEECH="1",
               QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    proc = subprocess.Popen([os.path.join(build, "src/app/gabblet")], env=env,
                            stdin=subprocess.PIPE, stderr=subprocess.PIPE)
    for line in proc.stderr:
        if b"gabblet: ready" in line:
            break
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
    seconds, answered = flood()
    print(f"10000 messages back to back (Disable set): {answered} answered in {seconds * 1000:.0f} ms")
    proc.stdin.write(b"quit\n")
    proc.stdin.flush()
    proc.wait(timeout=20)


if __name__ == "__main__":
    main()
