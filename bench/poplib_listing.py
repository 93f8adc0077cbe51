#!/usr/bin/python3
"""The baseline of bench_pop3_listing: Python's poplib sends the commands
Gabblet sends for a listing (USER, PASS, LIST, STAT, TOP n 1 for every
message, QUIT), one at a time, and keeps the same four headers.

usage: poplib_listing.py PORT USER PASSWORD   -> prints seconds and the count
"""
import poplib
import sys
import time

port, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3]
start = time.perf_counter()
pop = poplib.POP3("127.0.0.1", port, timeout=30)
pop.capa()
pop.user(user)
pop.pass_(password)
pop.list()
count = pop.stat()[0]
headers = []
for n in range(1, count + 1):
    lines = pop.top(n, 1)[1]
    keep = {}
    for line in lines:
        for name in (b"Subject:", b"Date:", b"From:"):
            if line.startswith(name) and name not in keep:
                keep[name] = line[len(name):][:80]
        if line.lower().startswith(b"message-id:") and b"id" not in keep:
            keep[b"id"] = line[11:][:80]
    headers.append(keep)
pop.quit()
print("%.3f %d" % (time.perf_counter() - start, len(headers)))
