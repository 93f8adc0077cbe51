#!/usr/bin/python3
"""Starts every kind of server of mailservers.py the way the C++ tests do (a
subprocess, one JSON line, stdin closed to stop it) and talks to each with
Python's own poplib, smtplib and ssl. Exits 1 on any failure.

usage: /usr/bin/python3 tests/support/mailservers_selftest.py [-v]
"""
import base64
import email
import email.policy
import json
import os
import poplib
import selectors
import smtplib
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, HERE)
import mailservers  # noqa: E402
import testports  # noqa: E402

PYTHON = "/usr/bin/python3"
VERBOSE = "-v" in sys.argv
USER, PASSWORD = "alice", "s3cret-pw"

failures = []
started = []  # every server process, to prove none outlives the run


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)
    elif VERBOSE:
        print("ok:", what, flush=True)


class Server:
    """One mailservers.py subprocess; stops it by closing its stdin."""

    def __init__(self, *args):
        self.args = args
        self.proc = subprocess.Popen([PYTHON, os.path.join(HERE, "mailservers.py"), *args],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        started.append(self.proc)
        begun = time.monotonic()
        self.info = self._read_ready(deadline=begun + 15)
        if VERBOSE:
            print("   started %s in %.2f s" % (" ".join(args[:3]), time.monotonic() - begun))

    def _read_ready(self, deadline):
        sel = selectors.DefaultSelector()
        sel.register(self.proc.stdout, selectors.EVENT_READ)
        line = b""
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            if sel.select(timeout=deadline - time.monotonic()):
                chunk = os.read(self.proc.stdout.fileno(), 4096)
                if not chunk:
                    break
                line += chunk
        sel.close()
        if not line.endswith(b"\n"):
            self.proc.kill()
            self.proc.wait()
            raise RuntimeError("no ready line from %s" % " ".join(self.args))
        return json.loads(line)

    @property
    def port(self):
        return self.info["port"]

    def stop(self):
        start = time.monotonic()
        self.proc.stdin.close()
        try:
            code = self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = "hung"
        rest = self.proc.stdout.read()
        self.proc.stdout.close()
        if VERBOSE:
            print("   stopped %s in %.2f s" % (" ".join(self.args[:3]), time.monotonic() - start))
        check(code == 0, "%s stops with 0 on end of input (got %s)" % (self.args[0], code))
        check(rest == b"", "%s prints exactly one line (also %r)" % (self.args[0], rest[:80]))
        return time.monotonic() - start

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            self.stop()


def verifying_context(ca):
    return ssl.create_default_context(cafile=ca)  # checks the chain and the host name


def expect_error(fn, *args):
    try:
        fn(*args)
    except Exception as e:  # noqa: BLE001 - the reply text is what matters
        return str(e)
    return None


# ------------------------------------------------------------------ POP3

def pop3_login(port, ctx=None, implicit=False, host="127.0.0.1"):
    if implicit:
        client = poplib.POP3_SSL(host, port, context=ctx, timeout=10)
    else:
        client = poplib.POP3(host, port, timeout=10)
        if ctx:
            client.stls(ctx)
    client.user(USER)
    client.pass_(PASSWORD)
    return client


def subject_of(lines):
    msg = email.message_from_bytes(b"\r\n".join(lines), policy=email.policy.default)
    return msg["Subject"]


def test_pop3_plain(root):
    with Server("pop3", "--root", os.path.join(root, "plain"), "--user", USER,
                "--password", PASSWORD) as server:
        maildir = server.info["maildir"]
        check(os.path.isdir(os.path.join(maildir, "new")), "pop3 reports its Maildir")
        out = subprocess.run([PYTHON, os.path.join(HERE, "mailservers.py"), "deliver",
                              "--maildir", maildir, "--count", "35", "--subject", "Message {n}"],
                             capture_output=True, check=True).stdout
        paths = json.loads(out)["paths"]
        check(len(paths) == 35 and all(os.path.exists(p) for p in paths), "deliver --count 35")
        # A message whose body has a line "." and a line ".." must come back whole.
        dotted = b"From: a@example.test\nSubject: dots\n\nline one\n.\n..\n.end\n"
        mailservers.deliver(maildir, dotted)

        client = poplib.POP3("127.0.0.1", server.port, timeout=10)
        capa = client.capa()
        check("PIPELINING" in capa and "TOP" in capa and "UIDL" in capa, "CAPA lists PIPELINING, TOP, UIDL")
        check("STLS" not in capa, "plain server offers no STLS")
        client.user(USER)
        error = expect_error(client.pass_, "wrong")
        check(error is not None and "-ERR" in error, "a wrong password is refused (%s)" % error)
        client.close()

        client = pop3_login(server.port)
        count, _ = client.stat()
        check(count == 36, "STAT counts 36 messages (got %d)" % count)
        subjects = [subject_of(client.top(i, 1)[1]) for i in range(1, 36)]
        check(subjects == ["Message %d" % i for i in range(1, 36)],
              "TOP on 35 messages, in delivery order")
        body = client.retr(36)[1]
        check(body[-4:] == [b"line one", b".", b"..", b".end"], "RETR keeps dot lines (%r)" % body[-4:])
        uidls = client.uidl()[1]
        client.dele(1)
        client.dele(2)
        client.quit()

        client = pop3_login(server.port)
        check(client.stat()[0] == 34, "two deletions took effect")
        check(subject_of(client.top(1, 0)[1]) == "Message 3", "message 3 is first after deleting 1 and 2")
        check([u.split()[1] for u in client.uidl()[1]] == [u.split()[1] for u in uidls[2:]],
              "the others keep their identifiers")
        client.quit()

        other = expect_error(_login_as, server.port, "mallory", PASSWORD)
        check(other is not None and "-ERR" in other, "another user name is refused (%s)" % other)
        stop_time = server.stop()
        check(stop_time < 8, "pop3 stops in %.1f s" % stop_time)
        check(_gone(server.info["pid"]), "Dovecot has exited after pop3 stopped")


def _login_as(port, user, password):
    client = poplib.POP3("127.0.0.1", port, timeout=10)
    client.user(user)
    client.pass_(password)
    client.quit()


def _gone(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return True
    with open("/proc/%d/stat" % pid) as f:
        return f.read().split()[2] == "Z"  # a zombie of another parent is gone too


def test_pop3_tls(root, certs):
    ctx = verifying_context(certs["ca"])
    with Server("pop3", "--root", os.path.join(root, "stls"), "--user", USER, "--password", PASSWORD,
                "--ssl", "starttls", "--cert", certs["cert"], "--key", certs["key"]) as server:
        mailservers.deliver_message(server.info["maildir"], "a@example.test", "b@example.test",
                                    "over STLS", "hello")
        client = poplib.POP3("127.0.0.1", server.port, timeout=10)
        check("STLS" in client.capa(), "STLS offered on the plain port")
        client.stls(ctx)
        client.user(USER)
        client.pass_(PASSWORD)
        check(client.stat()[0] == 1, "login and STAT after STLS")
        client.quit()
        with open(server.info["log"]) as f:
            check(any("Login: user=<%s>" % USER in line and "TLS" in line for line in f),
                  "the Dovecot log shows the login was over TLS")

    with Server("pop3", "--root", os.path.join(root, "pop3s"), "--user", USER, "--password", PASSWORD,
                "--ssl", "implicit", "--cert", certs["cert"], "--key", certs["key"]) as server:
        for host in ("localhost", "127.0.0.1"):  # both names of the certificate
            client = pop3_login(server.port, ctx, implicit=True, host=host)
            check(client.stat()[0] == 0, "implicit TLS login to %s" % host)
            client.quit()
        plain = expect_error(lambda: poplib.POP3("127.0.0.1", server.port, timeout=0.5).user(USER))
        check(plain is not None, "implicit TLS port does not speak plain POP3")

    with Server("pop3", "--root", os.path.join(root, "untrusted"), "--user", USER,
                "--password", PASSWORD, "--ssl", "implicit",
                "--cert", certs["untrusted_cert"], "--key", certs["untrusted_key"]) as server:
        error = expect_error(pop3_login, server.port, ctx, True)
        check(error is not None and "CERTIFICATE_VERIFY_FAILED" in error,
              "an untrusted certificate is refused by a verifying client (%s)" % error)
        lax = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        lax.check_hostname = False
        lax.verify_mode = ssl.CERT_NONE
        pop3_login(server.port, lax, implicit=True).quit()  # the server itself is fine


def test_pop3_locked(root, results):
    """Runs in a thread: Dovecot waits 10 s for the session lock before refusing."""
    try:
        with Server("pop3", "--root", os.path.join(root, "locked"), "--user", USER,
                    "--password", PASSWORD, "--lock-session") as server:
            first = pop3_login(server.port)
            second = poplib.POP3("127.0.0.1", server.port, timeout=20)
            second.user(USER)
            start = time.monotonic()
            error = expect_error(second.pass_, PASSWORD)
            results["locked"] = (error, time.monotonic() - start)
            first.quit()
            second.close()
            after = pop3_login(server.port)  # the lock goes with the session
            after.quit()
            results["after"] = True
    except Exception:  # noqa: BLE001
        results["exception"] = traceback.format_exc()


def raw_exchange(sock, data, until, count=1, limit=1 << 20):
    sock.sendall(data)
    got = b""
    while got.count(until) < count and len(got) < limit:
        chunk = sock.recv(65536)
        if not chunk:
            break
        got += chunk
    return got


def test_pop3_pipelining_off(root, certs):
    ctx = verifying_context(certs["ca"])
    with Server("pop3", "--root", os.path.join(root, "nopipe"), "--user", USER, "--password", PASSWORD,
                "--ssl", "starttls", "--cert", certs["cert"], "--key", certs["key"],
                "--pipelining-off") as server:
        mailservers.deliver(server.info["maildir"],
                            b"From: a@example.test\nSubject: words\n\nPIPELINING\n.\nend\n")
        client = poplib.POP3("127.0.0.1", server.port, timeout=10)
        capa = client.capa()
        check("PIPELINING" not in capa and "TOP" in capa and "STLS" in capa,
              "pipelining off: CAPA without PIPELINING, with STLS (%s)" % sorted(capa))
        client.stls(ctx)
        check("STLS" not in client.capa(), "no STLS offered once TLS is on")
        client.user(USER)
        client.pass_(PASSWORD)
        check("PIPELINING" not in client.capa(), "pipelining off after login too")
        check(client.retr(1)[1][-3:] == [b"PIPELINING", b".", b"end"],
              "a body line PIPELINING is left alone")
        client.quit()

        # SASL through the proxy, then commands sent together still answer in order.
        with socket.create_connection(("127.0.0.1", server.port), timeout=10) as sock:
            sock.recv(512)
            token = base64.b64encode(b"\0%s\0%s" % (USER.encode(), PASSWORD.encode()))
            reply = raw_exchange(sock, b"AUTH PLAIN\r\n", b"\r\n")
            check(reply.startswith(b"+ "), "AUTH PLAIN gets a challenge (%r)" % reply)
            reply = raw_exchange(sock, token + b"\r\n", b"\r\n")
            check(reply.startswith(b"+OK"), "AUTH PLAIN logs in through the proxy (%r)" % reply)
            reply = raw_exchange(sock, b"STAT\r\nLIST\r\nNOOP\r\n", b"\r\n", 5)
            check(reply.startswith(b"+OK 1 ") and b"\r\n1 " in reply and reply.endswith(b"+OK\r\n"),
                  "commands sent together are answered in order (%r)" % reply)

    with Server("pop3", "--root", os.path.join(root, "nopipe-s"), "--user", USER,
                "--password", PASSWORD, "--ssl", "implicit", "--cert", certs["cert"],
                "--key", certs["key"], "--pipelining-off") as server:
        client = poplib.POP3_SSL("localhost", server.port, context=ctx, timeout=10)
        check("PIPELINING" not in client.capa(), "pipelining off over implicit TLS")
        client.user(USER)
        client.pass_(PASSWORD)
        client.quit()


# ------------------------------------------------------------------ SMTP

def wait_for_json(out, number, timeout=5):
    path = os.path.join(out, "%04d.json" % number)
    deadline = time.monotonic() + timeout
    while not os.path.exists(path) and time.monotonic() < deadline:
        time.sleep(0.02)
    with open(path) as f:
        meta = json.load(f)
    with open(os.path.join(out, "%04d.eml" % number), "rb") as f:
        return meta, f.read()


def test_smtp(root, certs):
    ctx = verifying_context(certs["ca"])
    out = os.path.join(root, "smtp-plain")
    body = ("From: a@example.test\r\nTo: b@example.test\r\nSubject: dots\r\n\r\n"
            "first\r\n.\r\n..two\r\n.three\r\nlast\r\n")
    with Server("smtp", "--out", out) as server:
        with smtplib.SMTP("127.0.0.1", server.port, timeout=10) as client:
            code, _ = client.ehlo("tester")
            check(code == 250 and not client.has_extn("auth") and not client.has_extn("starttls"),
                  "plain SMTP: EHLO without AUTH or STARTTLS")
            refused = client.sendmail("a@example.test", ["b@example.test", "c@example.test",
                                                         "d@example.test"], body)
            check(refused == {}, "message with two CC accepted")
        meta, eml = wait_for_json(out, 1)
        check(meta["rcpt_tos"] == ["b@example.test", "c@example.test", "d@example.test"] and
              meta["mail_from"] == "a@example.test" and meta["tls"] is False and
              meta["auth_user"] is None, "envelope recorded (%s)" % meta)
        check(eml == body.encode(), "DATA recorded unstuffed with CR LF (%r)" % eml[-40:])
        check(not [n for n in os.listdir(out) if n.startswith(".")], "no temporary files left")

    out = os.path.join(root, "smtp-auth")
    with Server("smtp", "--out", out, "--ssl", "starttls", "--cert", certs["cert"],
                "--key", certs["key"], "--auth", "carol:pw123") as server:
        with smtplib.SMTP("localhost", server.port, timeout=10) as client:
            client.ehlo("tester")
            check(client.has_extn("starttls") and not client.has_extn("auth"),
                  "AUTH not offered before STARTTLS")
            error = expect_error(client.sendmail, "a@example.test", ["b@example.test"], "x\r\n")
            check(error is not None and "530" in error, "no mail without login (%s)" % error)
        with smtplib.SMTP("localhost", server.port, timeout=10) as client:
            client.starttls(context=ctx)
            client.ehlo("tester")
            auth = client.esmtp_features.get("auth", "")
            check(auth.split() == ["PLAIN"], "AUTH PLAIN offered after STARTTLS (%r)" % auth)
            error = expect_error(client.login, "carol", "wrong")
            check(error is not None and "535" in error, "wrong AUTH refused")
            client.login("carol", "pw123")
            client.sendmail("a@example.test", ["b@example.test"], "Subject: t\r\n\r\nhi\r\n")
        meta, _ = wait_for_json(out, 1)
        check(meta["tls"] is True and meta["auth_user"] == "carol", "STARTTLS + AUTH recorded (%s)" % meta)

    out = os.path.join(root, "smtp-implicit")
    with Server("smtp", "--out", out, "--ssl", "implicit", "--cert", certs["cert"],
                "--key", certs["key"], "--auth", "carol:pw123") as server:
        with smtplib.SMTP_SSL("127.0.0.1", server.port, context=ctx, timeout=10) as client:
            client.login("carol", "pw123")
            client.sendmail("a@example.test", ["b@example.test"], "Subject: t\r\n\r\nhi\r\n")
        meta, _ = wait_for_json(out, 1)
        check(meta["tls"] is True and meta["auth_user"] == "carol", "implicit TLS + AUTH recorded")

    out = os.path.join(root, "smtp-noehlo")
    with Server("smtp", "--out", out, "--refuse-ehlo") as server:
        with smtplib.SMTP("127.0.0.1", server.port, timeout=10) as client:
            check(client.ehlo("tester")[0] == 502, "--refuse-ehlo answers EHLO with 502")
            check(client.helo("tester")[0] == 250, "... and HELO with 250")
            client.sendmail("a@example.test", ["b@example.test"], "Subject: t\r\n\r\nhi\r\n")
        meta, _ = wait_for_json(out, 1)
        check(meta["esmtp"] is False and meta["helo"] == "tester", "message after HELO recorded")

    with Server("smtp", "--out", os.path.join(root, "smtp-nohelo"), "--refuse-helo") as server:
        with smtplib.SMTP("127.0.0.1", server.port, timeout=10) as client:
            check(client.helo("tester")[0] == 502, "--refuse-helo answers HELO with 502")
            check(client.ehlo("tester")[0] == 250, "... and EHLO with 250")

    with Server("smtp", "--out", os.path.join(root, "smtp-none"), "--refuse-ehlo",
                "--refuse-helo") as server:
        with smtplib.SMTP("127.0.0.1", server.port, timeout=10) as client:
            error = expect_error(client.sendmail, "a@example.test", ["b@example.test"], "x\r\n")
            check(error is not None and "502" in error, "both refused: no greeting accepted")
            client.ehlo("tester")
            code, _ = client.mail("a@example.test")
            check(code != 250, "MAIL refused without a greeting")


# ------------------------------------------------------------------ hostile

def connect(port):
    return socket.create_connection(("127.0.0.1", port), timeout=5)


def recv_for(sock, seconds):
    sock.settimeout(seconds)
    got = b""
    try:
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                break
            got += chunk
    except socket.timeout:
        pass
    return got


def test_hostile(protocol):
    greeting = b"+OK ready" if protocol == "pop3" else b"220 ready"
    refusal = b"-ERR" if protocol == "pop3" else b"554"

    with Server("hostile", "--mode", "no-greeting", "--protocol", protocol) as server:
        socks = [connect(server.port) for _ in range(3)]
        socks[0].sendall(b"USER x\r\n")
        check(all(recv_for(s, 0.4) == b"" for s in socks), "%s no-greeting says nothing" % protocol)

    with Server("hostile", "--mode", "no-crlf", "--protocol", protocol) as server:
        socks = [connect(server.port) for _ in range(2)]
        check(all(recv_for(s, 0.4) == greeting for s in socks),
              "%s no-crlf greets without a line end" % protocol)

    with Server("hostile", "--mode", "endless", "--protocol", protocol) as server:
        idle = connect(server.port)  # never reads: the server must not stall on it
        sock = connect(server.port)
        start = time.monotonic()
        got = b""
        while len(got) < 8 << 20 and time.monotonic() - start < 10:
            got += sock.recv(1 << 20)
        rate = len(got) / (time.monotonic() - start) / 1e6
        check(got.startswith(greeting[:3]) and b"\r" not in got and b"\n" not in got and
              b"x" * 1000 in got and len(got) >= 8 << 20,
              "%s endless streams %d MB without a line end at %.0f MB/s" % (protocol, len(got) >> 20, rate))
        sock.close()
        stop_time = server.stop()
        idle.close()
        check(stop_time < 8, "endless stops in %.1f s with a client attached" % stop_time)

    with Server("hostile", "--mode", "drip", "--protocol", protocol) as server:
        socks = [connect(server.port) for _ in range(2)]
        start = time.monotonic()
        got = b""
        while len(got) < 3:
            got += socks[1].recv(1)
        elapsed = time.monotonic() - start
        check(greeting.startswith(got) and 0.8 < elapsed < 6.0,
              "%s drip: 3 bytes in %.2f s" % (protocol, elapsed))

    with Server("hostile", "--mode", "refuse-all", "--protocol", protocol) as server:
        for _ in range(2):
            sock = connect(server.port)
            line = raw_exchange(sock, b"", b"\r\n")
            check(line == greeting + b"\r\n", "%s refuse-all greets" % protocol)
            reply = raw_exchange(sock, b"USER x\r\nEHLO y\r\n", b"\r\n", 2)
            check(reply.count(refusal) == 2, "%s refuse-all refuses each command (%r)" % (protocol, reply))
            reply = raw_exchange(sock, b"QUIT\r\n", b"\r\n")
            check(reply.startswith(refusal) and recv_for(sock, 1) == b"", "%s QUIT refused, then closed" % protocol)
            sock.close()


# ------------------------------------------------------------------ the rest

def test_ports(port_dir):
    ports = [testports.claim_port() for _ in range(5)]
    check(len(set(ports)) == 5 and all(20000 <= p <= 39999 for p in ports), "five distinct ports")
    check(all(os.path.exists(os.path.join(port_dir, str(p))) for p in ports), "each port has a claim file")
    check(os.stat(port_dir).st_mode & 0o777 == 0o700, "claim directory is private")


def dovecot_and_server_processes():
    """pid -> command line of every Dovecot process and every mailservers.py."""
    found = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        if cmdline.startswith("dovecot") or "/dovecot " in cmdline or "mailservers.py" in cmdline:
            found[pid] = cmdline
    return found


def parent_of(pid):
    try:
        with open("/proc/%s/status" % pid) as f:
            for line in f:
                if line.startswith("PPid:"):
                    return line.split()[1]
    except OSError:
        pass
    return "0"


def started_here(pid, root):
    """Whether pid, or a process it descends from, is this run or works in root."""
    seen = set()
    while pid not in ("0", "1") and pid not in seen:
        seen.add(pid)
        if pid == str(os.getpid()):
            return True
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if root.encode() in f.read():
                    return True
        except OSError:
            return False
        pid = parent_of(pid)
    return False


def run_group(tests):
    for test, *args in tests:
        begun = time.monotonic()
        try:
            test(*args)
        except Exception:  # noqa: BLE001 - report and go on with the others
            check(False, "%s raised:\n%s" % (test.__name__, traceback.format_exc()))
        if VERBOSE:
            print("-- %s %s: %.1f s" % (test.__name__, args[0] if args else "", time.monotonic() - begun))


def main():
    start = time.monotonic()
    before = dovecot_and_server_processes()
    with tempfile.TemporaryDirectory(prefix="gabblet-mailservers-") as root:
        os.environ.setdefault("GABBLET_TEST_PORT_DIR", os.path.join(root, "ports"))
        certs = json.loads(subprocess.run(
            [PYTHON, os.path.join(HERE, "mailservers.py"), "certs", os.path.join(root, "certs")],
            capture_output=True, check=True).stdout)
        check(all(os.path.exists(p) for p in certs.values()), "certs made every file")

        # Groups run side by side: most of the time goes into waiting (the
        # lock wait, Dovecot's one-second shutdown, the drip).
        lock_results = {}
        groups = [
            [(test_pop3_locked, root, lock_results)],
            [(test_ports, os.environ["GABBLET_TEST_PORT_DIR"]), (test_pop3_plain, root)],
            [(test_pop3_tls, root, certs), (test_pop3_pipelining_off, root, certs)],
            [(test_smtp, root, certs), (test_hostile, "pop3"), (test_hostile, "smtp")],
        ]
        threads = [threading.Thread(target=run_group, args=(group,)) for group in groups]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        error, waited = lock_results.get("locked", (None, 0))
        check(error is not None and "lock" in error.lower() and lock_results.get("after"),
              "a locked mailbox refuses a second session after %.1f s (%s) %s"
              % (waited, error, lock_results.get("exception", "")))

        for proc in started:
            if proc.poll() is None:
                proc.kill()
                check(False, "a server was still running: %s" % proc.args)
        # Other suites may run their own servers meanwhile: only what this
        # run started (its own children, or anything working in its folder,
        # and their children) counts.
        left = {pid: cmd for pid, cmd in dovecot_and_server_processes().items()
                if pid not in before and str(os.getpid()) != pid and started_here(pid, root)}
        check(not left, "no Dovecot or server process left running (%s)" % left)

    elapsed = time.monotonic() - start
    print("%d checks failed; %d servers started; %.1f s" % (len(failures), len(started), elapsed))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
