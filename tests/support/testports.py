"""Loopback ports for test servers, shared by every test process of a run.

Tests run in parallel (ctest -j, several helpers on one machine), so a port
is claimed by creating a file named after it, with O_CREAT|O_EXCL, in one
directory that every test process uses. A claimed port is never released
during a run: a server that has just exited may leave its port in TIME_WAIT,
and nobody else should pick it up meanwhile.

The C++ tests follow the same rules, so both kinds of process can share the
directory.
"""

import errno
import os
import random
import socket

PORT_MIN = 20000
PORT_MAX = 39999
_MAX_TRIES = 2000


def port_dir():
    """The claim directory: $GABBLET_TEST_PORT_DIR, else a private one in /tmp."""
    path = os.environ.get("GABBLET_TEST_PORT_DIR")
    if path:
        os.makedirs(path, mode=0o700, exist_ok=True)
        return path
    path = "/tmp/gabblet-test-ports-%d" % os.getuid()
    try:
        os.mkdir(path, 0o700)
    except FileExistsError:
        pass
    # /tmp is shared: never trust a directory someone else made for us.
    info = os.lstat(path)
    if info.st_uid != os.getuid() or not os.path.isdir(path) or os.path.islink(path):
        raise RuntimeError("port directory %s is not ours" % path)
    return path


def _is_free(port):
    for kind in (socket.SOCK_STREAM, socket.SOCK_DGRAM):
        probe = socket.socket(socket.AF_INET, kind)
        try:
            probe.bind(("127.0.0.1", port))
        except OSError:
            return False
        finally:
            probe.close()
    return True


def claim_port(rng=None):
    """Claims a port that no other test process of this run will get."""
    rng = rng or random.SystemRandom()
    directory = port_dir()
    for _ in range(_MAX_TRIES):
        port = rng.randint(PORT_MIN, PORT_MAX)
        try:
            fd = os.open(os.path.join(directory, str(port)),
                         os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o600)
        except OSError as error:
            if error.errno == errno.EEXIST:
                continue
            raise
        os.close(fd)
        if _is_free(port):
            return port
        # Busy outside our control: leave it claimed so nobody retries it.
    raise RuntimeError("no free test port found in %s" % directory)


if __name__ == "__main__":
    print(claim_port())
