#!/usr/bin/env python3
"""Whole runs of Tollvane.exe under Wine against quenwick-sim, boxes read and answered.

Usage: tests/windows/wine_runs.py [--x64] [--x86]   (after building host, windows, windows-x64)

Starts its own Xvfb display. For each build named and each scenario: a fresh host root,
quenwick-sim with the scenario's machine, scripts/wine-tollvane, and box_reader answering each
box as the scenario says; then the boxes, the exit code and the stored register B are checked.
"""
import os
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HOST_BIN = os.path.join(TOP, "build", "host", "bin")
READER = os.path.join(TOP, "build", "windows-x64", "bin", "box_reader.exe")
WINE64 = "/usr/lib/wine/wine64"


def catalogue():
    texts = {}
    with open(os.path.join(TOP, "app", "messages.tsv"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            language, message, text = line.rstrip("\n").split("\t", 2)
            texts[(int(language), int(message))] = text
    return texts


TEXTS = catalogue()
LANGUAGES = {"C": 1033, "fr_FR.UTF-8": 1036, "ja_JP.UTF-8": 1041}

# name, quenwick-sim options (None: no driver), os-version, LANG, presses, expected messages,
# exit code, register B afterwards (None: not checked).
SCENARIOS = [
    ("yes switches the bit off", ["--register-b", "0x03"], None, "C", ["yes", "ok"],
     [111, 113], 1, "0x02"),
    ("a second run finds it off", ["--register-b", "0x02"], None, "C", ["ok"], [110], 0, "0x02"),
    ("no writes nothing", ["--register-b", "0x03"], None, "C", ["no"], [111], 99, "0x03"),
    ("plain mode", ["--register-b", "0x81", "--plain"], None, "C", ["yes", "ok"], [111, 113], 1,
     "0x00"),
    ("driver 1.0.7", ["--register-b", "0x03", "--driver-version", "1.0.7.0"], None, "C", ["ok"],
     [105], 99, "0x03"),
    ("wrong model prefix", ["--register-b", "0x03", "--model", "WV1234567890"], None, "C", ["ok"],
     [105], 99, "0x03"),
    ("platform information 2", ["--register-b", "0x03", "--platform-info", "2"], None, "C",
     ["ok"], [105], 99, "0x03"),
    ("Windows XP", ["--register-b", "0x03"], "5 1 2 1", "C", ["ok"], [107], 99, "0x03"),
    ("Windows Vista", ["--register-b", "0x03"], "6 0 2 1", "C", ["ok"], [107], 99, "0x03"),
    ("Windows 7", ["--register-b", "0x03"], "6 1 2 1", "C", ["yes", "ok"], [111, 113], 1, "0x02"),
    ("wrong driver proof", ["--register-b", "0x03", "--fault", "wrong-proof"], None, "C", ["ok"],
     [104], 99, "0x03"),
    ("a write that does not take", ["--register-b", "0x03", "--fault", "write-ignored"], None,
     "C", ["yes", "ok"], [111, 106], 2, "0x03"),
    ("French", ["--register-b", "0x03"], None, "fr_FR.UTF-8", ["yes", "ok"], [111, 113], 1, "0x02"),
    ("Japanese", ["--register-b", "0x03"], None, "ja_JP.UTF-8", ["yes", "ok"], [111, 113], 1,
     "0x02"),
    ("no driver", None, None, "C", ["ok"], [104], 99, None),
]


def read_box(env, press, timeout_ms):
    # A file, not a pipe: a wineserver that this starts keeps its output open after it ends.
    with tempfile.TemporaryFile() as out_file:
        subprocess.run([WINE64, READER, str(timeout_ms), press], env=env, stdout=out_file,
                       stderr=subprocess.DEVNULL, timeout=timeout_ms / 1000 + 60)
        out_file.seek(0)
        out = out_file.read().decode("utf-8", "replace")
    box = {}
    for line in out.splitlines():
        key, _, value = line.partition(": ")
        box[key] = value
    return box


def start_sim(options, env):
    sim = subprocess.Popen([os.path.join(HOST_BIN, "quenwick-sim")] + options, env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = sim.stdout.readline()
    if not line.startswith("ready "):
        raise RuntimeError(f"quenwick-sim did not start: {line!r}")
    return sim


def run(scenario, build, env_base, failures):
    name, options, os_version, lang, presses, expected, code, register = scenario
    label = f"[{build}] {name}"
    with tempfile.TemporaryDirectory() as root:
        env = dict(env_base, TOLLVANE_HOST_ROOT=root, LANG=lang, LC_ALL="")
        if os_version:
            os.makedirs(os.path.join(root, "machine"))
            with open(os.path.join(root, "machine", "os-version"), "w") as f:
                f.write(os_version + "\n")
        sim = start_sim(options, env) if options is not None else None
        try:
            args = [os.path.join(TOP, "scripts", "wine-tollvane")] + (["--x64"] if build == "x64" else [])
            tollvane = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
            boxes = [read_box(env, press, 90000) for press in presses]
            try:
                exit_code = tollvane.wait(timeout=60)
            except subprocess.TimeoutExpired:
                tollvane.kill()
                exit_code = "timeout"
        finally:
            if sim is not None:
                sim.terminate()
                sim.wait()
        stored = None
        path = os.path.join(root, "quenwick", "register-b")
        if os.path.exists(path):
            stored = open(path).read().strip()

    language = LANGUAGES[lang]
    problems = []
    for i, message in enumerate(expected):
        box = boxes[i] if i < len(boxes) else {}
        want = TEXTS[(language, message)]
        if box.get("text") != want:
            problems.append(f"box {i + 1}: text {box.get('text')!r}, not message {message} {want!r}")
        if box.get("caption") != TEXTS[(language, 103)]:
            problems.append(f"box {i + 1}: caption {box.get('caption')!r}")
        if message == 104 and box.get("icon") != "present":
            problems.append(f"box {i + 1}: no icon")
        buttons = box.get("buttons", "").count("|") + 1 if box.get("buttons") else 0
        if buttons != (2 if message == 111 else 1):
            problems.append(f"box {i + 1}: buttons {box.get('buttons')!r}")
    if exit_code != code:
        problems.append(f"exit code {exit_code}, not {code}")
    if register is not None and stored != register:
        problems.append(f"register B {stored}, not {register}")
    print(f"{'ok  ' if not problems else 'FAIL'} {label}")
    for p in problems:
        print(f"       {p}")
        failures.append(f"{label}: {p}")


def second_copy(build, env_base, failures):
    """A second copy while the first shows its box: exit 99 and no box of its own."""
    label = f"[{build}] a second copy while the first shows its box"
    with tempfile.TemporaryDirectory() as root:
        env = dict(env_base, TOLLVANE_HOST_ROOT=root, LANG="C", LC_ALL="")
        sim = start_sim(["--register-b", "0x03"], env)
        problems = []
        try:
            args = [os.path.join(TOP, "scripts", "wine-tollvane")] + (["--x64"] if build == "x64" else [])
            first = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
            box = read_box(env, "none", 90000)
            if box.get("text") != TEXTS[(1033, 111)]:
                problems.append(f"the first copy's box is {box.get('text')!r}")
            second = subprocess.run(args, env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, timeout=120)
            if second.returncode != 99:
                problems.append(f"the second copy exited {second.returncode}, not 99")
            still = read_box(env, "no", 5000)
            if still.get("text") != TEXTS[(1033, 111)]:
                problems.append(f"a box other than the first copy's: {still.get('text')!r}")
            if first.wait(timeout=60) != 99:
                problems.append("the first copy did not end with 99 after No")
        finally:
            sim.terminate()
            sim.wait()
    print(f"{'ok  ' if not problems else 'FAIL'} {label}")
    for p in problems:
        print(f"       {p}")
        failures.append(f"{label}: {p}")


def main():
    builds = [a[2:] for a in sys.argv[1:] if a in ("--x64", "--x86")] or ["x64"]
    display = ":%d" % (90 + os.getpid() % 100)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)
    env = dict(os.environ, DISPLAY=display, WINEDEBUG="-all")
    env.setdefault("TOLLVANE_WINEPREFIX", os.path.join(TOP, "build", "wine-prefix"))
    env["WINEPREFIX"] = env["TOLLVANE_WINEPREFIX"]
    failures = []
    start = time.time()
    try:
        for build in builds:
            for scenario in SCENARIOS:
                run(scenario, build, env, failures)
            second_copy(build, env, failures)
    finally:
        xvfb.terminate()
        xvfb.wait()
    print(f"whole runs under Wine ({', '.join(builds)}): {len(failures)} problems, "
          f"{time.time() - start:.0f} s")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
