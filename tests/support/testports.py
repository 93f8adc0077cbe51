"""Loopback ports for test servers, shared by every test process of a run.

Several test programs (C++ and Python) start servers at the same time, so a
port is claimed by creating a file named after it, with O_CREAT|O_EXCL, in one
directory that all of them use. A claim is never released during a run: a
port that one test has let go may still be in TIME_WAIT or about to be reused
by a server that has not bound it yet, and the range is large enough.

The directory is $GABBLET_TEST_PORT_DIR, or /tmp/gabblet-test-ports-<uid>.
"""
import errno
import os
import random
import socket
import stat

PORT_MIN = 20000
PORT_MAX = 39999
MAX_ATTEMPTS = 2000


class PortError(RuntimeError):
    pass


def port_dir():
    """The claim directory, created mode 0700 if missing."""
    path = os.environ.get("GABBLET_TEST_PORT_DIR") or \
        "/tmp/gabblet-test-ports-%d" % os.getuid()
    try:
        os.mkdir(path, 0o700)
        os.chmod(path, 0o700)  # whatever the umask
    except FileExistsError:
        pass
    info = os.lstat(path)
    # In a world-writable /tmp someone else could have made this name first;
    # claims in a directory we do not own would mean nothing.
    if not stat.S_ISDIR(info.st_mode) or info.st_uid != os.getuid():
        raise PortError("port claim directory %s is not a directory owned by uid %d"
                        % (path, os.getuid()))
    return path


def _is_free(port):
    for kind in (socket.SOCK_STREAM, socket.SOCK_DGRAM):
        s = socket.socket(socket.AF_INET, kind)
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            return False
        finally:
            s.close()
    return True


def _claim(directory, port):
    try:
        fd = os.open(os.path.join(directory, str(port)),
                     os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o600)
    except OSError as e:
        if e.errno == errno.EEXIST:
            return False
        raise
    try:
        os.write(fd, b"%d\n" % os.getpid())
    finally:
        os.close(fd)
    return True


def claim_port():
    """Claims one loopback port nobody else in this run has, free right now."""
    directory = port_dir()
    rng = random.SystemRandom()
    for _ in range(MAX_ATTEMPTS):
        port = rng.randint(PORT_MIN, PORT_MAX)
        if _claim(directory, port) and _is_free(port):
            return port
    raise PortError("no free port found in %d-%d after %d attempts (claims in %s)"
                    % (PORT_MIN, PORT_MAX, MAX_ATTEMPTS, directory))


if __name__ == "__main__":
    import sys
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 1
    print(" ".join(str(claim_port()) for _ in range(count)))
