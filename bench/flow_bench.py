#!/usr/bin/env python3
"""Times whole runs of the host tollvane against quenwick-sim.

For each run: the time from process start to the first message box on the terminal, and the
time of the whole run (open, handshake, model, platform information, one read, one box,
exit). In the same run, the baseline: start to the first box on a machine with no driver
(message 104), and the ratio of the two. Then the handshake on its own (handshake_bench), and
its share of a whole run.

Usage: bench/flow_bench.py [runs]   (after building the host preset)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "host", "bin")


def time_to_first_box(env, expected_code):
    """Seconds from start to the first box, and to the end, of one run answered with Enter."""
    start = time.perf_counter()
    p = subprocess.Popen([os.path.join(BIN, "tollvane")], stdin=subprocess.PIPE,
                         stdout=subprocess.PIPE, env=env)
    line = p.stdout.readline()
    while line and not line.startswith(b"[Tollvane]"):
        line = p.stdout.readline()
    first = time.perf_counter() - start
    p.communicate(b"\n")
    assert p.returncode == expected_code, p.returncode
    return first, time.perf_counter() - start


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 50
    with tempfile.TemporaryDirectory() as empty_root:
        env = dict(os.environ, TOLLVANE_HOST_ROOT=empty_root, LANG="C", LC_ALL="")
        no_driver = [time_to_first_box(env, 99)[0] for _ in range(runs)]
    with tempfile.TemporaryDirectory() as host_root:
        env = dict(os.environ, TOLLVANE_HOST_ROOT=host_root, LANG="C", LC_ALL="")
        sim = subprocess.Popen([os.path.join(BIN, "quenwick-sim"), "--register-b", "0x02"],
                               stdout=subprocess.PIPE, env=env, text=True)
        assert sim.stdout.readline().startswith("ready ")
        try:
            first_box, whole = [], []
            for _ in range(runs):
                first, total = time_to_first_box(env, 0)
                first_box.append(first)
                whole.append(total)
            handshake = subprocess.run([os.path.join(BIN, "handshake_bench"), str(runs)],
                                       env=env, capture_output=True, text=True, check=True)
        finally:
            sim.terminate()
            sim.wait()
    figures = dict(zip(handshake.stdout.split()[::2], map(float, handshake.stdout.split()[1::2])))
    ms = lambda v: 1000 * statistics.mean(v)
    print(f"runs                          {runs}")
    print(f"start to first box (ms)       mean {ms(first_box):.2f}  median "
          f"{1000 * statistics.median(first_box):.2f}  max {1000 * max(first_box):.2f}")
    print(f"no driver, first box (ms)     mean {ms(no_driver):.2f}  median "
          f"{1000 * statistics.median(no_driver):.2f}")
    print(f"session / no-driver first box {statistics.median(first_box) / statistics.median(no_driver):.2f} "
          "(medians)")
    print(f"whole run (ms)                mean {ms(whole):.2f}  median "
          f"{1000 * statistics.median(whole):.2f}  max {1000 * max(whole):.2f}")
    print(f"open (ms)                     mean {figures['open_ms']:.2f}")
    print(f"handshake (ms)                mean {figures['handshake_ms']:.2f}  median "
          f"{figures['handshake_median_ms']:.2f}")
    print(f"handshake share of a run      {100 * figures['handshake_ms'] / ms(whole):.0f} %")


if __name__ == "__main__":
    main()
