#!/usr/bin/env python3
"""measure.py RUNS COMMAND...: runs COMMAND RUNS times; prints the median wall
time in seconds and the largest peak RSS in KiB. The RSS comes from GNU time,
a small parent: a child forked from Python would count Python's own pages."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

runs = int(sys.argv[1])
command = sys.argv[2:]
times, rss = [], 0
with tempfile.NamedTemporaryFile("r") as report:
    for _ in range(runs):
        start = time.perf_counter()
        code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report.name] + command)
        times.append(time.perf_counter() - start)
        report.seek(0)
        rss = max(rss, int(report.read().split()[-1]))
        if code != 0:
            sys.exit(f"measure: {' '.join(command)} exited with {code}")
print(f"{statistics.median(times):.4f} {rss}")
