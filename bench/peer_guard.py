#!/usr/bin/env python3
"""A flood against the per-sender limit, with another sender in the middle.

A Gabblet with MaxPerMinute 10 gets 1,000 messages sent back to back from one
address and, after the 500th, one message from a second address. For each
round (a fresh pair of source addresses, so each flood starts a new minute):
how many of the 1,000 were answered, how many "OK" and how many "N", and how
long the second sender waited for its answer. The baseline, measured in the
same run, is the second sender's wait with no flood at all.

usage: bench/peer_guard.py BUILD_DIR [--rounds N]
"""
import argparse
import os
import socket
import statistics
import subprocess
import tempfile
import threading
import time

PORT = 27500
GABBLET_ADDR = "127.0.0.3"
FLOOD = 1000


def sock(addr):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
    s.bind((addr, 0))
    return s


def one_message(s, text):
    start = time.perf_counter()
    s.sendto(b":Bramble:" + text + b"\\\\s", (GABBLET_ADDR, PORT + 1))
    s.settimeout(5)
    reply = s.recvfrom(64)[0]
    return (time.perf_counter() - start) * 1000, reply


def flood_round(n):
    flooder = sock(f"127.0.1.{n}")
    other = sock(f"127.0.2.{n}")
    flooder.setblocking(False)
    replies = []
    other_ms = None

    def collect():
        try:
            while True:
                replies.append(flooder.recvfrom(64)[0])
        except BlockingIOError:
            pass

    start = time.perf_counter()
    for i in range(FLOOD):
        flooder.sendto(b":Bramble:flood %d\\\\s" % i, (GABBLET_ADDR, PORT + 1))
        if i == FLOOD // 2:
            other_ms, _ = one_message(other, b"the other one")
        collect()
    flooder.setblocking(True)
    flooder.settimeout(5)
    try:
        while len(replies) < FLOOD:
            replies.append(flooder.recvfrom(64)[0])
    except socket.timeout:
        pass
    seconds = time.perf_counter() - start
    return {
        "answered": len(replies),
        "ok": replies.count(b"OK"),
        "refused": replies.count(b"N"),
        "other_ms": other_ms,
        "flood_ms": seconds * 1000,
    }


def drain(stream, lines):
    for line in stream:
        lines.append(line)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()

    home = tempfile.mkdtemp()
    with open(os.path.join(home, "gabblet.ini"), "w") as f:
        f.write(f"version=0.34\r\nport={PORT}\r\nbindaddress={GABBLET_ADDR}\r\n"
                "maxperminute=10\r\n")
    open(os.path.join(home, "rec.txt"), "w").close()
    env = dict(os.environ, GABBLET_HOME=home, GABBLET_NONINTERACTIVE="1", GABBLET_FAST_SPEECH="1",
               QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    proc = subprocess.Popen([os.path.join(args.build, "src/app/gabblet")], env=env,
                            stdin=subprocess.PIPE, stderr=subprocess.PIPE)
    for line in proc.stderr:
        if b"gabblet: ready" in line:
            break
    err_lines = []
    threading.Thread(target=drain, args=(proc.stderr, err_lines), daemon=True).start()

    baseline = [one_message(sock(f"127.0.3.{i + 1}"), b"alone")[0] for i in range(args.rounds)]
    rounds = []
    for n in range(1, args.rounds + 1):
        r = flood_round(n)
        rounds.append(r)
        print(f"round {n}: {r['answered']} of {FLOOD} answered ({r['ok']} OK, {r['refused']} N) "
              f"in {r['flood_ms']:.0f} ms; second sender answered in {r['other_ms']:.2f} ms",
              flush=True)
    waits = [r["other_ms"] for r in rounds]
    print(f"second sender's wait: worst {max(waits):.2f} ms, median {statistics.median(waits):.2f} ms;"
          f" alone (baseline): worst {max(baseline):.2f} ms, median {statistics.median(baseline):.2f} ms")
    print(f"answered: worst {min(r['answered'] for r in rounds)} of {FLOOD}; spoken from the "
          f"flood: at most {max(r['ok'] for r in rounds)}")

    proc.stdin.write(b"quit\n")
    proc.stdin.flush()
    proc.wait(timeout=60)
    print(f"program ended with {proc.returncode}")


if __name__ == "__main__":
    main()
