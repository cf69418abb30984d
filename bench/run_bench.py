#!/usr/bin/env python3
"""Times whole runs of kovalt on a synthetic save against `cp savedata.sav output.sav`.

Both commands run alternately in the same scratch folder, each in a new session
without a controlling terminal, so the tool's key wait ends at once. Prints the
median wall time of each, their ratio, and the tool's peak resident memory as
/usr/bin/time reports it (a child of Python would inherit Python's high-water mark).

usage: bench/run_bench.py [RUNS]   (default 400; builds the release preset first)
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def timed_run(command, folder):
    """Runs the command to its end; returns (seconds, exit status)."""
    start = time.perf_counter()
    status = subprocess.call(command, cwd=folder, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, start_new_session=True)
    return time.perf_counter() - start, status


def peak_memory_kib(command, folder, runs=20):
    peaks = []
    for _ in range(runs):
        measured = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, cwd=folder,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, text=True, check=True,
                                  start_new_session=True)
        peaks.append(int(measured.stderr.strip().splitlines()[-1]))
    return max(peaks)


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 400
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    for step in (["cmake", "--preset", "release"], ["cmake", "--build", "--preset", "release"]):
        subprocess.run(step, cwd=source, check=True, stdout=subprocess.DEVNULL)
    build = os.path.join(source, "build", "release")
    tool = os.path.join(build, "kovalt")
    cp = shutil.which("cp")
    with tempfile.TemporaryDirectory(prefix="kovalt-bench-") as folder:
        subprocess.run([os.path.join(build, "make_sample"), "1", "savedata.sav"], cwd=folder, check=True)
        tool_times, cp_times = [], []
        for _ in range(runs):
            elapsed, status = timed_run([tool], folder)
            if status != 0:
                sys.exit(f"kovalt exited with {status}")
            tool_times.append(elapsed)
            elapsed, status = timed_run([cp, "savedata.sav", "output.sav"], folder)
            if status != 0:
                sys.exit(f"cp exited with {status}")
            cp_times.append(elapsed)
        peak = peak_memory_kib([tool], folder)
    tool_median = statistics.median(tool_times)
    cp_median = statistics.median(cp_times)
    print(f"runs:            {runs} of each")
    print(f"kovalt median:   {tool_median * 1000:.3f} ms")
    print(f"cp median:       {cp_median * 1000:.3f} ms")
    print(f"ratio:           {tool_median / cp_median:.2f} (goal: at most 1.5)")
    print(f"kovalt peak RSS: {peak / 1024:.2f} MiB (goal: at most 2 MiB)")


if __name__ == "__main__":
    main()
