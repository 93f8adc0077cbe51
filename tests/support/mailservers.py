#!/usr/bin/python3
"""Mail servers for Gabblet's tests: real ones and scripted misbehaving ones.

Run with /usr/bin/python3 (Debian's aiosmtpd lives there). Every server
subcommand claims its port from testports, prints one JSON line on stdout when
it accepts connections, and runs until its standard input reaches end of file
or it receives SIGTERM or SIGINT; then it shuts its server down and exits 0.
A failure to start prints a message on stderr and exits 2 without a JSON line.

  certs DIR                        test CA, a server certificate it signed, and
                                   an untrusted self-signed one
  pop3 --root DIR --user U --password P [--ssl none|starttls|implicit]
       [--cert PEM --key KEY] [--lock-session] [--pipelining-off]
                                   a private Dovecot instance
  smtp --out DIR [--ssl ...] [--cert PEM --key KEY] [--auth USER:PASS]
       [--refuse-ehlo] [--refuse-helo]
                                   aiosmtpd, writing each message to DIR
  hostile --mode MODE [--protocol pop3|smtp]
                                   what real servers never do
  deliver --maildir DIR [--file MSG | --from A --to B --subject S --body T]
          [--count N]              one message (or N) into DIR/new

See README.md beside this file.
"""
import argparse
import asyncio
import ctypes
import email.policy
import email.utils
import hmac
import itertools
import json
import logging
import os
import pwd
import re
import shutil
import signal
import socket
import ssl
import stat
import subprocess
import sys
import tempfile
import threading
import time
import warnings
from email.message import EmailMessage

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import testports  # noqa: E402


class SetupError(Exception):
    """A server could not be started; the message says why, for the test log."""


# ---------------------------------------------------------------- running

def emit_ready(info):
    sys.stdout.write(json.dumps(info) + "\n")
    sys.stdout.flush()


class StopSignal:
    """Set when stdin reaches end of file or SIGTERM/SIGINT arrives.

    Standard input is watched from a thread because it may be a pipe, a
    terminal or a regular file, and only the thread works for all three.
    """

    def __init__(self, loop):
        self.event = asyncio.Event()
        for sig in (signal.SIGTERM, signal.SIGINT):
            loop.add_signal_handler(sig, self.event.set)
        threading.Thread(target=self._watch_stdin, args=(loop,), daemon=True).start()

    def _watch_stdin(self, loop):
        try:
            while os.read(0, 65536):
                pass
        except OSError:
            pass
        loop.call_soon_threadsafe(self.event.set)

    async def wait(self):
        await self.event.wait()


def run_service(start):
    """Runs `start(loop)`, which returns (ready info, async stop function)."""
    async def main():
        loop = asyncio.get_running_loop()
        stopper = StopSignal(loop)
        info, stop = await start(loop)
        try:
            emit_ready(info)
            await stopper.wait()
        finally:
            await stop()

    asyncio.run(main())
    return 0


class ConnectionSet:
    """Open connections of a server, so that stopping it also ends them."""

    def __init__(self):
        self.tasks = set()
        self.writers = set()

    def track(self, handler):
        async def tracked(reader, writer):
            task = asyncio.current_task()
            self.tasks.add(task)
            self.writers.add(writer)
            try:
                await handler(reader, writer)
            except Exception:  # noqa: BLE001 - a broken client ends only its connection
                pass
            finally:
                self.tasks.discard(task)
                self.writers.discard(writer)
                writer.transport.abort()
        return tracked

    async def close_all(self):
        for writer in list(self.writers):
            writer.transport.abort()
        for task in list(self.tasks):
            task.cancel()
        if self.tasks:
            await asyncio.wait(list(self.tasks), timeout=5)


async def read_line(reader, limit=8192):
    """One line ending in LF, at most `limit` bytes kept; b"" at end of file.

    A longer line is consumed and returned cut, so a client cannot make the
    server hold an unbounded line.
    """
    kept = b""
    while True:
        try:
            chunk = await reader.readuntil(b"\n")
            return (kept + chunk)[:limit] if kept else chunk[:limit]
        except asyncio.LimitOverrunError as e:
            part = await reader.read(e.consumed)
            if len(kept) < limit:
                kept += part[:limit - len(kept)]
        except asyncio.IncompleteReadError as e:
            return (kept + e.partial)[:limit]


def server_tls_context(cert, key):
    if not cert or not key:
        raise SetupError("TLS needs --cert and --key (make them with: certs DIR)")
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    try:
        ctx.load_cert_chain(cert, key)
    except (OSError, ssl.SSLError) as e:
        raise SetupError("cannot load certificate %s / key %s: %s" % (cert, key, e))
    return ctx


# ---------------------------------------------------------------- certs

# The server certificate and the untrusted one differ only in who signed them.
_LEAF_EXTENSIONS = """\
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost,IP:127.0.0.1
subjectKeyIdentifier = hash
"""
_OPENSSL_CONFIG = """\
[req]
distinguished_name = dn
[dn]
[ca_ext]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[server_ext]
authorityKeyIdentifier = keyid,issuer
""" + _LEAF_EXTENSIONS + "[self_ext]\n" + _LEAF_EXTENSIONS


def _openssl(*args):
    result = subprocess.run(["openssl", *args], stdin=subprocess.DEVNULL,
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise SetupError("openssl %s failed: %s" % (args[0], result.stderr.strip()))


def make_certs(directory):
    """Makes a test CA, a server certificate it signed for localhost and
    127.0.0.1, and a self-signed one with the same names that nobody trusts."""
    directory = os.path.abspath(directory)
    os.makedirs(directory, exist_ok=True)
    path = lambda name: os.path.join(directory, name)  # noqa: E731
    ec_key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    with tempfile.TemporaryDirectory(dir=directory) as work:
        config = os.path.join(work, "openssl.cnf")
        with open(config, "w") as f:
            f.write(_OPENSSL_CONFIG)
        csr = os.path.join(work, "server.csr")
        _openssl("req", "-config", config, "-x509", *ec_key, "-days", "3650",
                 "-subj", "/CN=Gabblet Test CA", "-extensions", "ca_ext",
                 "-keyout", path("ca.key"), "-out", path("ca.pem"))
        _openssl("req", "-config", config, *ec_key, "-subj", "/CN=localhost",
                 "-keyout", path("server.key"), "-out", csr)
        _openssl("x509", "-req", "-in", csr, "-CA", path("ca.pem"), "-CAkey", path("ca.key"),
                 "-set_serial", str(int.from_bytes(os.urandom(8), "big")), "-days", "825",
                 "-extfile", config, "-extensions", "server_ext", "-out", path("server.pem"))
        _openssl("req", "-config", config, "-x509", *ec_key, "-days", "825",
                 "-subj", "/CN=localhost", "-extensions", "self_ext",
                 "-keyout", path("untrusted.key"), "-out", path("untrusted.pem"))
    for key in ("ca.key", "server.key", "untrusted.key"):
        os.chmod(path(key), 0o600)
    return {"ca": path("ca.pem"), "cert": path("server.pem"), "key": path("server.key"),
            "untrusted_cert": path("untrusted.pem"), "untrusted_key": path("untrusted.key")}


# ---------------------------------------------------------------- deliver

_deliveries = itertools.count(1)
_last_stamp = [0, 0]
_stamp_lock = threading.Lock()


def _maildir_name():
    # time.M<usec>P<pid>Q<n>.<host>: Dovecot numbers new messages in the order
    # of the time in their names, so the stamps of one process only go up.
    with _stamp_lock:
        now = time.time_ns() // 1000
        stamp = max(now, _last_stamp[0] * 1000000 + _last_stamp[1] + 1)
        _last_stamp[0], _last_stamp[1] = divmod(stamp, 1000000)
        sec, usec = _last_stamp
    host = socket.gethostname().replace("/", "\\057").replace(":", "\\072")
    return "%d.M%dP%dQ%d.%s" % (sec, usec, os.getpid(), next(_deliveries), host)


def _own_like(path, owner, is_fd=False):
    if os.geteuid() == 0 and owner:
        (os.fchown if is_fd else os.lchown)(path, owner.st_uid, owner.st_gid)


def deliver(maildir, data):
    """Drops one message (bytes) into maildir/new and returns its path.

    Written into tmp/, flushed to disk, then renamed into new/, so a reader
    never sees part of it; owned like the Maildir so its server may read and
    delete it.
    """
    maildir = os.path.abspath(maildir)
    owner = os.stat(maildir)
    for sub in ("tmp", "new", "cur"):
        folder = os.path.join(maildir, sub)
        if not os.path.isdir(folder):
            os.mkdir(folder, 0o700)
            _own_like(folder, owner)
    name = _maildir_name()
    tmp = os.path.join(maildir, "tmp", name)
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    try:
        view = memoryview(data)
        while view:
            view = view[os.write(fd, view):]
        os.fsync(fd)
        _own_like(fd, owner, is_fd=True)
    except BaseException:
        os.close(fd)
        os.unlink(tmp)
        raise
    os.close(fd)
    final = os.path.join(maildir, "new", name)
    os.rename(tmp, final)
    dirfd = os.open(os.path.join(maildir, "new"), os.O_RDONLY)
    try:
        os.fsync(dirfd)
    finally:
        os.close(dirfd)
    return final


def build_message(sender, to, subject, body):
    """A plain text message with the headers a mail program expects, as bytes
    with LF line ends (the Maildir convention; POP3 servers send CR LF)."""
    msg = EmailMessage(policy=email.policy.default)
    msg["From"] = sender
    msg["To"] = to
    msg["Subject"] = subject
    msg["Date"] = email.utils.formatdate(localtime=True)
    msg["Message-ID"] = email.utils.make_msgid(domain="gabblet.test")
    msg.set_content(body)
    return msg.as_bytes()


def deliver_message(maildir, sender, to, subject, body):
    return deliver(maildir, build_message(sender, to, subject, body))


def deliver_with_lda(root, user, maildir, data):
    """Hands one message to Dovecot's own delivery agent, dovecot-lda, for
    `user` of the private Dovecot running under `root` (its userdb answers
    the agent), as a mail system delivers into a Maildir. Returns the path
    of the file it made in maildir/new."""
    lda = shutil.which("dovecot-lda") or "/usr/lib/dovecot/dovecot-lda"
    if not os.access(lda, os.X_OK):
        raise SetupError("dovecot-lda is not installed (Debian: dovecot-core)")
    new = os.path.join(os.path.abspath(maildir), "new")
    before = set(os.listdir(new)) if os.path.isdir(new) else set()
    done = subprocess.run([lda, "-c", os.path.join(root, "dovecot.conf"), "-d", user],
                          input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=30)
    if done.returncode != 0:
        raise SetupError("dovecot-lda failed (exit %d): %s" %
                         (done.returncode, done.stderr.decode(errors="replace").strip()))
    made = sorted(set(os.listdir(new)) - before)
    if len(made) != 1:
        raise SetupError("dovecot-lda left %d new files in %s" % (len(made), new))
    return os.path.join(new, made[0])


def cmd_deliver(args):
    if args.file:
        if args.file == "-":
            data = sys.stdin.buffer.read()
        else:
            with open(args.file, "rb") as f:
                data = f.read()
        messages = [data] * args.count
    else:
        messages = [build_message(args.sender, args.to,
                                  args.subject.replace("{n}", str(i)),
                                  args.body.replace("{n}", str(i)))
                    for i in range(1, args.count + 1)]
    if args.lda_root:
        paths = [deliver_with_lda(args.lda_root, args.user, args.maildir, m) for m in messages]
    else:
        paths = [deliver(args.maildir, m) for m in messages]
    info = {"path": paths[-1]}
    if args.count > 1:
        info["paths"] = paths
    emit_ready(info)
    return 0


# ---------------------------------------------------------------- pop3 (Dovecot)

_SAFE_PATH = re.compile(r"^[A-Za-z0-9._/+@,=~-]+$")
_SAFE_USER = re.compile(r"^[A-Za-z0-9._+@-]+$")
_SAFE_PASSWORD = re.compile(r"^[A-Za-z0-9._+@,=~!-]+$")

_DOVECOT_CONFIG = """\
# One test run's private Dovecot: loopback only, everything under {root}.
protocols = pop3
listen = 127.0.0.1
base_dir = {root}/run
state_dir = {root}/state
log_path = {root}/dovecot.log
info_log_path = {root}/dovecot.log
auth_verbose = yes
# A refused login answers at once, so tests of wrong passwords stay fast.
auth_failure_delay = 0
default_internal_user = dovecot
default_login_user = dovenull
first_valid_uid = {uid}
first_valid_gid = {gid}
mail_location = maildir:{root}/Maildir
auth_mechanisms = plain
disable_plaintext_auth = no
ssl = {ssl}
{ssl_files}
pop3_lock_session = {lock}

passdb {{
  driver = static
  args = password={password}
  username_filter = {user}
}}
# Any other name meets a password nobody knows, so it fails as a wrong
# login does, not as a server fault.
passdb {{
  driver = static
  args = password={unknowable}
  username_filter = !{user}
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={root}/home
}}
# Failed logins would slow every later login from 127.0.0.1 by seconds; the
# auth process skips that penalty when it finds no penalty socket.
service anvil {{
  unix_listener anvil-auth-penalty {{
    path = anvil-no-penalty
  }}
}}
service pop3-login {{
  chroot =
  inet_listener pop3 {{
    port = {plain_port}
  }}
  inet_listener pop3s {{
    port = {tls_port}
  }}
}}
"""


def _dovecot_binary():
    found = shutil.which("dovecot") or "/usr/sbin/dovecot"
    if not os.access(found, os.X_OK):
        raise SetupError("dovecot is not installed (Debian: dovecot-core dovecot-pop3d)")
    return found


def _make_reachable(path):
    """Dovecot's unprivileged processes must reach the folders under `path`.

    Folders of our own below the temporary directory get the search bit for
    others (not the read bit); anything else we only check, never change.
    """
    temp_root = os.path.realpath(tempfile.gettempdir())
    current = os.path.realpath(path)
    while True:
        info = os.stat(current)
        if not info.st_mode & stat.S_IXOTH:
            inside_temp = current == os.path.realpath(path) or \
                (current.startswith(temp_root + "/") and info.st_uid == os.geteuid())
            if not inside_temp:
                raise SetupError("the dovecot user cannot enter %s (mode %o); use a root "
                                 "folder under %s" % (current, info.st_mode & 0o7777, temp_root))
            os.chmod(current, (info.st_mode & 0o7777) | stat.S_IXOTH)
        if current == "/":
            return
        current = os.path.dirname(current)


def _prepare_pop3_root(args):
    if os.geteuid() != 0:
        raise SetupError("the pop3 server runs Dovecot as root; run the tests as root")
    root = os.path.abspath(args.root)
    for what, value, pattern in (("root folder", root, _SAFE_PATH),
                                 ("user name", args.user, _SAFE_USER),
                                 ("password", args.password, _SAFE_PASSWORD)):
        if not pattern.match(value):
            raise SetupError("%s %r holds characters the Dovecot configuration cannot carry"
                             % (what, value))
    for path in (args.cert, args.key):
        if path and not _SAFE_PATH.match(os.path.abspath(path)):
            raise SetupError("certificate path %r holds unusable characters" % path)
    os.makedirs(root, exist_ok=True)
    _make_reachable(root)
    try:
        mail_user = pwd.getpwnam("dovecot")
    except KeyError:
        raise SetupError("no dovecot user (Debian: dovecot-core)")
    maildir = os.path.join(root, "Maildir")
    home = os.path.join(root, "home")
    for folder in (maildir, home, *(os.path.join(maildir, s) for s in ("cur", "new", "tmp"))):
        os.makedirs(folder, 0o700, exist_ok=True)
    # Mail may have been delivered (as root) before this server started.
    for top in (maildir, home):
        os.chown(top, mail_user.pw_uid, mail_user.pw_gid)
        for parent, dirs, files in os.walk(top):
            for name in dirs + files:
                os.lchown(os.path.join(parent, name), mail_user.pw_uid, mail_user.pw_gid)
    for folder in ("run", "state"):
        os.makedirs(os.path.join(root, folder), 0o755, exist_ok=True)
    return root, maildir, mail_user


def _write_dovecot_config(args, root, mail_user, plain_port, tls_port, dovecot_ssl):
    ssl_files = ""
    if dovecot_ssl != "no":
        ssl_files = "ssl_cert = <%s\nssl_key = <%s" % (os.path.abspath(args.cert),
                                                       os.path.abspath(args.key))
    text = _DOVECOT_CONFIG.format(
        root=root, uid=mail_user.pw_uid, gid=mail_user.pw_gid, ssl=dovecot_ssl,
        ssl_files=ssl_files, lock="yes" if args.lock_session else "no",
        user=args.user, password=args.password, unknowable=os.urandom(16).hex(),
        plain_port=plain_port, tls_port=tls_port)
    config = os.path.join(root, "dovecot.conf")
    tmp = config + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.chmod(tmp, 0o600)  # it holds the password
    os.rename(tmp, config)
    return config


PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36


def _prctl(option, value):
    ctypes.CDLL(None, use_errno=True).prctl(option, value, 0, 0, 0)


def _die_with_parent():
    # If this supervisor is killed outright, Dovecot must not outlive it.
    _prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def _children():
    mine = []
    for pid in os.listdir("/proc"):
        try:
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if fields[1] == str(os.getpid()):
            mine.append(int(pid))
    return mine


def _reap_orphans(seconds):
    """Waits for every process left to us (we are their subreaper).

    Dovecot's master may exit while some of its children are still ending;
    those become ours, and the server has only stopped when they are gone.
    """
    deadline = time.monotonic() + seconds
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid:
            continue
        if time.monotonic() > deadline:
            for child in _children():
                try:
                    os.kill(child, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        time.sleep(0.01)


def _log_tail(log, lines=15):
    try:
        with open(log, errors="replace") as f:
            return "".join(f.readlines()[-lines:])
    except OSError:
        return "(no log)"


def _wait_for_greeting(proc, port, implicit_tls, log, deadline):
    """Blocks until the server's greeting arrives, or fails with the log."""
    client_ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    client_ctx.check_hostname = False
    client_ctx.verify_mode = ssl.CERT_NONE
    last_error = None
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            raise SetupError("dovecot exited with %d:\n%s" % (proc.returncode, _log_tail(log)))
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
                conn = client_ctx.wrap_socket(s) if implicit_tls else s
                if conn.recv(512).startswith(b"+OK"):
                    conn.sendall(b"QUIT\r\n")
                    return
        except OSError as e:
            last_error = e
        time.sleep(0.02)
    raise SetupError("dovecot did not greet on port %d (%s):\n%s" % (port, last_error, _log_tail(log)))


def cmd_pop3(args):
    root, maildir, mail_user = _prepare_pop3_root(args)
    tls_ctx = server_tls_context(args.cert, args.key) if args.ssl != "none" else None
    port = testports.claim_port()
    log = os.path.join(root, "dovecot.log")
    if args.pipelining_off:
        # Dovecot always announces PIPELINING; a filtering proxy in front of a
        # plain Dovecot takes it out and does the TLS itself.
        backend_port = testports.claim_port()
        config = _write_dovecot_config(args, root, mail_user, backend_port, 0, "no")
    else:
        backend_port = port
        dovecot_ssl = {"none": "no", "starttls": "yes", "implicit": "required"}[args.ssl]
        plain_port, tls_port = (0, port) if args.ssl == "implicit" else (port, 0)
        config = _write_dovecot_config(args, root, mail_user, plain_port, tls_port, dovecot_ssl)

    _prctl(PR_SET_CHILD_SUBREAPER, 1)
    proc = subprocess.Popen([_dovecot_binary(), "-F", "-c", config], stdin=subprocess.DEVNULL,
                            stdout=sys.stderr, stderr=sys.stderr, preexec_fn=_die_with_parent)

    def stop_dovecot():
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        _reap_orphans(5)

    try:
        _wait_for_greeting(proc, backend_port,
                           args.ssl == "implicit" and not args.pipelining_off,
                           log, time.monotonic() + 15)
    except BaseException:
        stop_dovecot()
        raise

    async def start(loop):
        proxy = None
        if args.pipelining_off:
            proxy = CapaFilterProxy(backend_port, args.ssl, tls_ctx)
            await proxy.start(port)

        async def stop():
            if proxy:
                await proxy.stop()
            await loop.run_in_executor(None, stop_dovecot)

        info = {"port": port, "maildir": maildir, "pid": proc.pid, "log": log}
        return info, stop

    try:
        return run_service(start)
    finally:
        stop_dovecot()


class CapaFilterProxy:
    """A POP3 front for Dovecot that leaves PIPELINING out of CAPA.

    Commands are passed on one at a time and each reply is read whole before
    the next command goes out, so the reply framing is always known. STLS and
    implicit TLS end here; Dovecot behind is plain.
    """

    MULTILINE_ALWAYS = {b"CAPA", b"TOP", b"RETR"}
    MULTILINE_WITHOUT_ARGUMENT = {b"LIST", b"UIDL", b"AUTH"}

    def __init__(self, backend_port, tls_mode, tls_ctx):
        self.backend_port = backend_port
        self.tls_mode = tls_mode
        self.tls_ctx = tls_ctx
        self.connections = ConnectionSet()
        self.server = None

    async def start(self, port):
        implicit = self.tls_ctx if self.tls_mode == "implicit" else None
        self.server = await asyncio.start_server(
            self.connections.track(self.serve), "127.0.0.1", port, ssl=implicit, limit=1 << 20)

    async def stop(self):
        self.server.close()
        await self.connections.close_all()
        await self.server.wait_closed()

    async def serve(self, client_r, client_w):
        backend_r, backend_w = await asyncio.open_connection(
            "127.0.0.1", self.backend_port, limit=1 << 20)
        try:
            await self._relay(client_r, client_w, backend_r, backend_w)
        finally:
            backend_w.transport.abort()

    async def _relay(self, client_r, client_w, backend_r, backend_w):
        secure = self.tls_mode == "implicit"
        greeting = await backend_r.readline()
        client_w.write(greeting)
        while True:
            line = await read_line(client_r)
            if not line:
                return
            if not line.endswith(b"\n"):  # cut by read_line: Dovecot refuses it
                line += b"\r\n"
            words = line.split()
            verb = words[0].upper() if words else b""
            if verb == b"STLS" and self.tls_mode == "starttls" and not secure:
                client_w.write(b"+OK Begin TLS negotiation now.\r\n")
                await client_w.start_tls(self.tls_ctx)
                secure = True
                continue
            backend_w.write(line)
            first = await backend_r.readline()
            if not first:
                return
            client_w.write(first)
            if first.startswith(b"+OK") and (verb in self.MULTILINE_ALWAYS or
                                             (verb in self.MULTILINE_WITHOUT_ARGUMENT and len(words) == 1)):
                await self._copy_multiline(backend_r, client_w, verb == b"CAPA",
                                           self.tls_mode == "starttls" and not secure)
            elif verb == b"AUTH":
                while first.startswith(b"+ "):  # SASL challenge: the client answers
                    await client_w.drain()
                    answer = await read_line(client_r)
                    if not answer:
                        return
                    backend_w.write(answer)
                    first = await backend_r.readline()
                    if not first:
                        return
                    client_w.write(first)
            await client_w.drain()
            if verb == b"QUIT":
                return

    @staticmethod
    async def _copy_multiline(backend_r, client_w, is_capa, offer_stls):
        at_line_start = True
        while True:
            try:
                line = await backend_r.readuntil(b"\n")
                complete = True
            except asyncio.LimitOverrunError as e:
                line = await backend_r.read(e.consumed)
                complete = False
            if not line:
                raise ConnectionError("backend closed in a reply")
            if at_line_start and line == b".\r\n":
                if offer_stls and is_capa:
                    client_w.write(b"STLS\r\n")
                client_w.write(line)
                return
            if not (is_capa and at_line_start and line.strip().upper() == b"PIPELINING"):
                client_w.write(line)
            at_line_start = complete
            await client_w.drain()


# ---------------------------------------------------------------- smtp (aiosmtpd)

class MessageRecorder:
    """aiosmtpd handler: writes each accepted message and its envelope to a folder."""

    def __init__(self, out_dir, auth, refuse_ehlo, refuse_helo):
        self.out_dir = out_dir
        self.auth = auth
        self.refuse_ehlo = refuse_ehlo
        self.refuse_helo = refuse_helo
        numbers = [int(n[:4]) for n in os.listdir(out_dir) if re.match(r"^\d{4}\.json$", n)]
        self.next_number = max(numbers, default=0) + 1

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        if self.refuse_ehlo:
            session.extended_smtp = False
            return ["502 5.5.1 EHLO not accepted here"]
        session.host_name = hostname
        if not self.auth:
            # Only a server that wants a login should announce AUTH.
            responses = [r for r in responses if not r[4:].upper().startswith("AUTH")]
        return responses

    async def handle_HELO(self, server, session, envelope, hostname):
        if self.refuse_helo:
            return "502 5.5.1 HELO not accepted here"
        session.host_name = hostname
        return "250 localhost"

    async def handle_DATA(self, server, session, envelope):
        number = self.next_number
        self.next_number += 1
        tls = session.ssl is not None or \
            server.transport.get_extra_info("ssl_object") is not None
        login = session.login_data
        meta = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": list(envelope.rcpt_tos),
            "tls": tls,
            "auth_user": login.decode("utf-8", "replace") if isinstance(login, bytes) else login,
            "helo": session.host_name,
            "esmtp": bool(session.extended_smtp),
        }
        # The .eml first, the .json last: a test that sees the .json may read both.
        _write_atomically(os.path.join(self.out_dir, "%04d.eml" % number),
                          envelope.original_content)
        _write_atomically(os.path.join(self.out_dir, "%04d.json" % number),
                          (json.dumps(meta, indent=1) + "\n").encode())
        return "250 2.0.0 Accepted as %04d" % number

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        from aiosmtpd.smtp import AuthResult
        user, password = self.auth
        ok = (mechanism == "PLAIN" and
              hmac.compare_digest(auth_data.login, user.encode()) and
              hmac.compare_digest(auth_data.password, password.encode()))
        return AuthResult(success=ok, handled=False, auth_data=auth_data)


def _write_atomically(path, data):
    folder, name = os.path.split(path)
    tmp = os.path.join(folder, "." + name + ".tmp")
    with open(tmp, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    os.rename(tmp, path)


def cmd_smtp(args):
    try:
        from aiosmtpd.smtp import SMTP
    except ImportError:
        raise SetupError("aiosmtpd is missing (Debian: python3-aiosmtpd; run with /usr/bin/python3)")
    # aiosmtpd warns on stderr about settings that are deliberate here.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    warnings.simplefilter("ignore")
    auth = None
    if args.auth:
        if ":" not in args.auth:
            raise SetupError("--auth wants USER:PASS")
        auth = tuple(args.auth.split(":", 1))
    out_dir = os.path.abspath(args.out)
    os.makedirs(out_dir, exist_ok=True)
    tls_ctx = server_tls_context(args.cert, args.key) if args.ssl != "none" else None
    recorder = MessageRecorder(out_dir, auth, args.refuse_ehlo, args.refuse_helo)
    port = testports.claim_port()

    async def start(loop):
        connections = set()

        def factory():
            server = SMTP(
                recorder, hostname="localhost", ident="Gabblet test SMTP",
                tls_context=tls_ctx if args.ssl == "starttls" else None,
                auth_required=auth is not None,
                # Under implicit TLS every connection is already encrypted.
                auth_require_tls=args.ssl != "implicit",
                authenticator=recorder.authenticate if auth else None,
                auth_exclude_mechanism=["LOGIN"] if auth else ["LOGIN", "PLAIN"],
                enable_SMTPUTF8=True, loop=loop)
            connections.add(server)
            return server

        server = await loop.create_server(
            factory, "127.0.0.1", port, ssl=tls_ctx if args.ssl == "implicit" else None)

        async def stop():
            server.close()
            for conn in list(connections):
                handler = getattr(conn, "_handler_coroutine", None)
                if handler is not None:
                    handler.cancel()
                try:
                    if conn.transport is not None and not conn.transport.is_closing():
                        conn.transport.abort()
                except Exception:  # noqa: BLE001 - a TLS transport already torn down
                    pass
            await server.wait_closed()
            await asyncio.sleep(0)

        return {"port": port}, stop

    return run_service(start)


# ---------------------------------------------------------------- hostile

HOSTILE_MODES = ("no-greeting", "no-crlf", "endless", "drip", "refuse-all")
_HOSTILE_TEXT = {
    "pop3": {"greeting": b"+OK ready", "positive": b"+OK", "refusal": b"-ERR refused",
             "quit": b"QUIT"},
    "smtp": {"greeting": b"220 ready", "positive": b"250 ok", "refusal": b"554 refused",
             "quit": b"QUIT"},
}
DRIP_INTERVAL = 0.5


class HostileServer:
    def __init__(self, mode, protocol):
        self.mode = mode
        self.text = _HOSTILE_TEXT[protocol]
        self.connections = ConnectionSet()

    async def serve(self, reader, writer):
        await getattr(self, "_" + self.mode.replace("-", "_"))(reader, writer)

    @staticmethod
    async def _discard_input(reader):
        while await reader.read(65536):
            pass

    async def _no_greeting(self, reader, writer):
        await self._discard_input(reader)

    async def _no_crlf(self, reader, writer):
        writer.write(self.text["greeting"])
        await writer.drain()
        await self._discard_input(reader)

    async def _endless(self, reader, writer):
        # The start of a positive reply, then bytes for ever without a line end.
        writer.write(self.text["greeting"][:3])
        reading = asyncio.ensure_future(self._discard_input(reader))
        chunk = b"x" * 65536
        try:
            while not reading.done():
                writer.write(chunk)
                await writer.drain()
        finally:
            reading.cancel()

    async def _drip(self, reader, writer):
        async def drip(data):
            for i in range(len(data)):
                writer.write(data[i:i + 1])
                await writer.drain()
                await asyncio.sleep(DRIP_INTERVAL)

        await drip(self.text["greeting"] + b"\r\n")
        while True:
            line = await read_line(reader)
            if not line:
                return
            await drip(self.text["positive"] + b"\r\n")
            if line.strip().upper() == self.text["quit"]:
                return

    async def _refuse_all(self, reader, writer):
        writer.write(self.text["greeting"] + b"\r\n")
        while True:
            line = await read_line(reader)
            if not line:
                return
            writer.write(self.text["refusal"] + b"\r\n")
            await writer.drain()
            if line.strip().upper() == self.text["quit"]:
                return


def cmd_hostile(args):
    hostile = HostileServer(args.mode, args.protocol)
    port = testports.claim_port()

    async def start(loop):
        server = await asyncio.start_server(hostile.connections.track(hostile.serve),
                                            "127.0.0.1", port)

        async def stop():
            server.close()
            await hostile.connections.close_all()
            await server.wait_closed()

        return {"port": port}, stop

    return run_service(start)


# ---------------------------------------------------------------- command line

def parse_args(argv):
    parser = argparse.ArgumentParser(description="Mail servers for Gabblet's tests.")
    sub = parser.add_subparsers(dest="command", required=True)

    p = sub.add_parser("certs", help="make a test CA, a server and an untrusted certificate")
    p.add_argument("dir")

    def tls_options(p):
        p.add_argument("--ssl", choices=("none", "starttls", "implicit"), default="none")
        p.add_argument("--cert")
        p.add_argument("--key")

    p = sub.add_parser("pop3", help="a private Dovecot POP3 server")
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    tls_options(p)
    p.add_argument("--lock-session", action="store_true")
    p.add_argument("--pipelining-off", action="store_true")

    p = sub.add_parser("smtp", help="an aiosmtpd server recording every message")
    p.add_argument("--out", required=True)
    tls_options(p)
    p.add_argument("--auth", metavar="USER:PASS")
    p.add_argument("--refuse-ehlo", action="store_true")
    p.add_argument("--refuse-helo", action="store_true")

    p = sub.add_parser("hostile", help="a scripted misbehaving server")
    p.add_argument("--mode", required=True, choices=HOSTILE_MODES)
    p.add_argument("--protocol", choices=("pop3", "smtp"), default="pop3")

    p = sub.add_parser("deliver", help="drop a message into a Maildir")
    p.add_argument("--maildir", required=True)
    p.add_argument("--file", help="the message as it is; - reads standard input")
    p.add_argument("--from", dest="sender", default="Sender <sender@example.test>")
    p.add_argument("--to", default="Receiver <receiver@example.test>")
    p.add_argument("--subject", default="Test message {n}")
    p.add_argument("--body", default="Body of test message {n}.\n")
    p.add_argument("--count", type=int, default=1, help="deliver N messages; {n} in "
                   "subject and body becomes 1..N")
    p.add_argument("--lda-root", help="deliver through dovecot-lda of the pop3 server "
                   "running under this root (needs --user)")
    p.add_argument("--user", help="the pop3 server's user, for --lda-root")
    args = parser.parse_args(argv)
    if getattr(args, "ssl", "none") != "none" and not (args.cert and args.key):
        parser.error("--ssl %s needs --cert and --key" % args.ssl)
    if args.command == "deliver" and args.count < 1:
        parser.error("--count must be at least 1")
    if args.command == "deliver" and args.lda_root and not args.user:
        parser.error("--lda-root needs --user")
    return args


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        if args.command == "certs":
            emit_ready(make_certs(args.dir))
            return 0
        return {"pop3": cmd_pop3, "smtp": cmd_smtp, "hostile": cmd_hostile,
                "deliver": cmd_deliver}[args.command](args)
    except (SetupError, testports.PortError, OSError) as e:
        print("mailservers %s: %s" % (args.command, e), file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
