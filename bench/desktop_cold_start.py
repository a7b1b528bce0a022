#!/usr/bin/env python3
"""Cold start of the desktop application: from exec to the page's first frame with the test bundle,
or with the bundle named by --bundle (the real interface: BUILD/Bundle/index.windows.bundle).

    bench/desktop_cold_start.py [--bundle FILE] BUILD/varnel-vpn [RUNS]      (default 5 runs)

Each run starts the program in a fresh data folder and runtime folder under a private Xvfb display and
session bus (made by the desktop tests' harness), with VARNEL_REPORT_FIRST_FRAME set, so the program
writes the monotonic time of the first frame the page reports. Both clocks are CLOCK_MONOTONIC. The
part before main() (loading the program and its libraries) is shown as the baseline share.
"""
import os
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "desktop"))
import desktop_harness as h  # noqa: E402

REPORT = re.compile(r"first frame ([0-9.]+) ms after start \(monotonic clock ([0-9.]+) s\)")


def one_run(program, number):
    root = os.path.join(h.session_root(), f"run-{number}")
    env = dict(os.environ, VARNEL_REPORT_FIRST_FRAME="1")
    for name, sub in (("XDG_DATA_HOME", "data"), ("XDG_CACHE_HOME", "cache"), ("XDG_RUNTIME_DIR", "runtime")):
        os.makedirs(os.path.join(root, sub), mode=0o700)
        env[name] = os.path.join(root, sub)
    started = time.monotonic()
    process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        for line in process.stderr:
            found = REPORT.search(line)
            if found:
                return (float(found.group(2)) - started) * 1000, float(found.group(1))
        raise SystemExit("the program ended without reporting a first frame")
    finally:
        process.terminate()
        process.wait()


def main():
    args = sys.argv[1:]
    bundle_text = None
    if args[:1] == ["--bundle"] and len(args) > 1:
        with open(args[1], encoding="utf-8") as f:
            bundle_text = f.read()
        args = args[2:]
    if len(args) not in (1, 2):
        sys.exit(__doc__)
    h.enter_session()
    runs = int(args[1]) if len(args) == 2 else 5
    program = h.install_app(args[0], bundle_text=bundle_text)
    print(f"bundle: {len((bundle_text or open(h.TEST_BUNDLE, encoding='utf-8').read()).encode())} bytes")
    results = []
    for number in range(runs):
        total, after_main = one_run(program, number)
        results.append((total, after_main))
        print(f"run {number + 1}: exec to first frame {total:.0f} ms (main to first frame {after_main:.0f} ms)")
    totals = [r[0] for r in results]
    before_main = [r[0] - r[1] for r in results]
    print(f"exec to first frame over {runs} runs: median {statistics.median(totals):.0f} ms, "
          f"min {min(totals):.0f} ms, max {max(totals):.0f} ms; "
          f"exec to main (baseline) median {statistics.median(before_main):.0f} ms, "
          f"{statistics.median(before_main) / statistics.median(totals):.0%} of the whole")


if __name__ == "__main__":
    main()
