#!/usr/bin/env python3
"""measure.py RUNS COMMAND...: runs COMMAND RUNS times; prints the median wall
time in seconds and the largest peak RSS in KiB of the command (with its children)."""
import os
import statistics
import subprocess
import sys
import time

runs = int(sys.argv[1])
command = sys.argv[2:]
times, rss = [], 0
for _ in range(runs):
    start = time.perf_counter()
    process = subprocess.Popen(command)
    _, status, usage = os.wait4(process.pid, 0)
    times.append(time.perf_counter() - start)
    rss = max(rss, usage.ru_maxrss)
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit(f"measure: {' '.join(command)} exited with {code}")
print(f"{statistics.median(times):.4f} {rss}")
