"""CPU time of a running process, from /proc, for the benchmark scripts."""

import os


def cpu_seconds(pid):
    """User plus system time the process has used so far, in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
