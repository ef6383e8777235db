#!/usr/bin/env python3
"""interleave.py RUNS NAME=COMMAND... : runs the commands in turn, RUNS rounds
(each COMMAND is a shell line), so that a change of load on the machine falls
on all of them alike. Prints one line per command: its name, the median wall
time in seconds and the largest peak RSS in KiB (from GNU time, as measure.py
does). The first round only warms the caches and is not counted."""
import statistics
import subprocess
import sys
import tempfile
import time

runs = int(sys.argv[1])
commands = [arg.split("=", 1) for arg in sys.argv[2:]]
times = {name: [] for name, _ in commands}
rss = {name: 0 for name, _ in commands}
cpu = {name: [] for name, _ in commands}
with tempfile.NamedTemporaryFile("r") as report:
    for round_ in range(runs + 1):
        for name, command in commands:
            # Each starts with the disk quiet: what the one before left to be
            # written out would otherwise be waited for by whoever comes next.
            subprocess.call(["sync"])
            start = time.perf_counter()
            code = subprocess.call(["/usr/bin/time", "-f", "%M %U %S", "-o", report.name,
                                    "sh", "-c", command])
            took = time.perf_counter() - start
            report.seek(0)
            if code != 0:
                sys.exit(f"interleave: {name} exited with {code}")
            if round_ > 0:
                times[name].append(took)
                peak, user, system = report.read().split()[-3:]
                rss[name] = max(rss[name], int(peak))
                cpu[name].append(float(user) + float(system))
for name, _ in commands:
    print(f"{name} {statistics.median(times[name]):.4f} {rss[name]} {statistics.median(cpu[name]):.3f}")
